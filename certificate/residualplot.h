#pragma once

#include "certificatecontent/certificatetext.h"

#include <QRectF>

namespace kelvora {

class PageFlow;

// Paints the chart of the deviations into `area` of the flow's current page as lines and
// marks, so that it stays sharp at any zoom: a title, a framed plot with round ticks on both
// axes, a dashed zero line, a square mark per point and, where a point has one, its error bar.
// A point whose temperature or deviation is not a finite number is left out. Error bars too
// long for any axis run to the frame; values that give no axis leave the plot empty.
void paintResidualChart(const PageFlow &flow, const QRectF &area, const ResidualChart &chart);

} // namespace kelvora
