#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

namespace kelvora {

// The program's look, shared by its windows: its face, its colours and its emblem.

// Tahoma 8 point, or the face closest to it where Tahoma is missing.
QFont KelvoraFont();

inline const QColor KelvoraMaroon(128, 0, 0);
// The background of read-only edits and grid columns.
inline const QColor CreamColor(255, 251, 240);
// The frame and the text of the Levenberg-Marquardt results.
inline const QColor NavyColor(0, 0, 128);
// The out-of-range warning, and the values it warns of.
inline const QColor WarningColor(255, 0, 0);

// A Planck-like curve rising over [0, 1] of the box, in box coordinates, and its point at x
// (0 to 1 across the box).
QPainterPath KelvoraCurve(const QRectF &box);
QPointF KelvoraCurvePoint(const QRectF &box, double x);

// The program's icon: the curve drawn small.
QIcon KelvoraIcon();

} // namespace kelvora
