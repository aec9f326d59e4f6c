#pragma once
// A round button like the ones painted in the book window's picture: a metal ring around a blue face, with
// a symbol of its own drawn on the face.

#include "ui/Controls.h"

#include <QPainter>

namespace vel {

class RoundButton : public ClickLabel {
public:
    using ClickLabel::ClickLabel;

protected:
    // Draws on the face around `centre`; `unit` is one pixel of the design's 33-pixel-high box.
    virtual void paintSymbol(QPainter& p, QPointF centre, qreal unit) = 0;
    void paintEvent(QPaintEvent* e) override;
};

// The finder's buttons: the contents (indented lines), search (a lens) and marks (a ribbon).
class SymbolButton : public RoundButton {
public:
    enum class Symbol { Contents, Search, Marks };
    SymbolButton(QWidget* parent, Symbol symbol) : RoundButton(parent), symbol_(symbol) {}

protected:
    void paintSymbol(QPainter& p, QPointF centre, qreal unit) override;

private:
    Symbol symbol_;
};

} // namespace vel
