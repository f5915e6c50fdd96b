#pragma once
// Popup menu with a vertical caption bar on its left: the caption in white bold
// italic on a gradient from the first colour (top) to the second (bottom).
#include <QColor>
#include <QMenu>

struct MenuBarLook {
    QString caption;
    QColor first = QColor(255, 0, 0);
    QColor second = QColor(0, 0, 0);
};

class BarPopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit BarPopupMenu(QWidget *parent = nullptr);

    void setLook(const MenuBarLook &look);
    const MenuBarLook &look() const { return look_; }

    static constexpr int BarWidth = 24;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    MenuBarLook look_;
};
