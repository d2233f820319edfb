#pragma once
#include <QDialog>

namespace orvex {

// The About box: program name and version; it only closes.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace orvex
