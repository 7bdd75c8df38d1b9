#pragma once
#include "views/ButtonWithPointCursor.h"

#include <QColor>
#include <QIcon>

// A button whose own background follows the mouse: normal, hover and pressed colours, optional
// normal and hover images, an optional thin border and a corner radius. The styling happens
// when the button is made, so every button, however made, reacts to the mouse.
class ButtonWithHoverBackGround : public ButtonWithPointCursor {
    Q_OBJECT
    Q_PROPERTY(QIcon hoverImage READ hoverImage WRITE setHoverImage)
    Q_PROPERTY(QIcon normalImage READ normalImage WRITE setNormalImage)
    Q_PROPERTY(QColor hoverColor READ hoverColor WRITE setHoverColor)
    Q_PROPERTY(QColor normalColor READ normalColor WRITE setNormalColor)
    Q_PROPERTY(QColor pressedColor READ pressedColor WRITE setPressedColor)
    Q_PROPERTY(QColor titleColor READ titleColor WRITE setTitleColor)
    Q_PROPERTY(bool isCustomBorder READ isCustomBorder WRITE setIsCustomBorder)
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius)
public:
    explicit ButtonWithHoverBackGround(QWidget* parent = nullptr);
    explicit ButtonWithHoverBackGround(const QString& text, QWidget* parent = nullptr);

    // Optional values are "none" when null (icon) or invalid (colour).
    QIcon hoverImage() const { return hoverImage_; }
    void setHoverImage(const QIcon& image) { hoverImage_ = image; }
    QIcon normalImage() const { return normalImage_; }
    void setNormalImage(const QIcon& image) { normalImage_ = image; }
    QColor hoverColor() const { return hoverColor_; }
    void setHoverColor(const QColor& color) { hoverColor_ = color; }
    QColor normalColor() const { return normalColor_; }
    void setNormalColor(const QColor& color);
    QColor pressedColor() const { return pressedColor_; }
    void setPressedColor(const QColor& color) { pressedColor_ = color; }
    QColor titleColor() const { return titleColor_; }
    void setTitleColor(const QColor& color);
    bool isCustomBorder() const { return isCustomBorder_; }
    // Either value draws the thin light-grey border; nothing removes it once drawn.
    void setIsCustomBorder(bool value);
    qreal cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(qreal radius);

    // What is painted now.
    QColor backgroundColor() const { return background_; }
    bool hasBorder() const { return borderDrawn_; }
    // True while the title is drawn in the styled form (title colour, centred, 14-pixel system
    // font); setting a new text drops the styling until the title colour is assigned again.
    bool isTitleStyled() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void styleOnCreation();
    void rebuildTitle();

    QIcon hoverImage_;
    QIcon normalImage_;
    QColor hoverColor_;
    QColor normalColor_;
    QColor pressedColor_;
    QColor titleColor_;
    bool isCustomBorder_ = false;
    qreal cornerRadius_ = 5.0;

    QColor background_;
    bool borderDrawn_ = false;
    bool pressing_ = false;
    QString styledTitle_;
    bool titleStyled_ = false;
};
