#pragma once
// What screen readers are told of the form's own controls where the
// toolkit's defaults fall short: a painted text is a label with its text,
// and a drop-down list is named by its label (the toolkit names it by its
// current entry on Linux, which says nothing of what the list is for).
class QAccessibleInterface;
class QObject;
class QString;

namespace orvex {

// Installs the interfaces below for every such control; once a process.
void InstallControlAccessibility();

// The toolkit's factory signature, for tests that query it directly.
QAccessibleInterface* ControlAccessibleFactory(const QString& className, QObject* object);

}  // namespace orvex
