#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPainterPath>
#include <QRectF>

namespace kelvora {

// The program's look, shared by its windows: its face, its colour and its emblem.

// Tahoma 8 point, or the face closest to it where Tahoma is missing.
QFont KelvoraFont();

inline const QColor KelvoraMaroon(128, 0, 0);

// A Planck-like curve rising over [0, 1] of the box, in box coordinates.
QPainterPath KelvoraCurve(const QRectF &box);

// The program's icon: the curve drawn small.
QIcon KelvoraIcon();

} // namespace kelvora
