// The focus frame of the views: which view has the keyboard, and which row in
// it, must be visible at a glance, whatever the style draws by itself.
#pragma once

#include <QColor>
#include <QRect>

class QAbstractScrollArea;
class QWidget;

// The frame's colour.
QColor FocusFrameColour();
// Draws the frame on a focused view's viewport: a 2-pixel border around it,
// and a 1-pixel border around row (viewport coordinates; an empty rect draws
// none). Call from the view's paintEvent after the view has painted.
void DrawFocusFrame(QWidget *viewport, const QRect &row);
// Repaints view's viewport whenever the view gains or loses the keyboard, so
// the frame comes and goes with it (the viewport does not repaint by itself).
void RepaintOnFocusChange(QAbstractScrollArea *view);
