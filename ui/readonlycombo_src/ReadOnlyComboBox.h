#pragma once
// A drop-down list whose field never takes typing: the user can only choose
// an entry, and a disabled list still shows its text in the normal colour.
#include <QComboBox>

namespace orvex {

class CReadOnlyComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CReadOnlyComboBox(QWidget* parent = nullptr);

    // Sets the entries and selection without telling anyone.
    void SetItemsQuietly(const QStringList& items, int selection);

protected:
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    bool PopupOpen() const;
};

}  // namespace orvex
