#include "ui/QtPrompter.h"

#include <QApplication>
#include <QMessageBox>

namespace orvex {

MsgAnswer QtPrompter::Show(const UserMessage& message) {
    QMessageBox box(m_parent ? m_parent.data() : QApplication::activeWindow());
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(QString::fromStdString(message.text));
    if (!message.detail.empty()) box.setInformativeText(QString::fromStdString(message.detail));
    box.setIcon(message.icon == MsgIcon::Stop ? QMessageBox::Critical
                : message.buttons == MsgButtons::YesNo ? QMessageBox::Question
                                                       : QMessageBox::NoIcon);
    if (message.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

}  // namespace orvex
