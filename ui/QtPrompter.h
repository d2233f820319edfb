#pragma once
// Message boxes for the desktop: the system's text, with the context line
// under it.
#include <QPointer>
#include <QWidget>

#include "settings/UserMessage.h"

namespace orvex {

class QtPrompter : public IPrompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }
    MsgAnswer Show(const UserMessage& message) override;

private:
    QPointer<QWidget> m_parent;
};

}  // namespace orvex
