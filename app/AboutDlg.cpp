#include "app/AboutDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/model/FormTexts.h"

namespace orvex {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About ORVEX");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QString::fromLatin1(texts::kCaption.data(), static_cast<int>(texts::kCaption.size())), this);
    name->setObjectName("AboutVersion");
    layout->addWidget(name);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace orvex
