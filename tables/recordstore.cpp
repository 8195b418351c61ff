#include "tables/recordstore.h"

#include "core/global.h"
#include "tables/rows.h"

#include <algorithm>

namespace kelvora {

RecordStore::RecordStore()
    : cdsMain(store.cdsMain), cdsBB(store.cdsBB), cdsInterp(store.cdsInterp)
{
    cdsMain.beforeDelete.connect([this] {
        DeleteAllRows(cdsBB);
        DeleteAllRows(cdsInterp);
    });
    const auto refreshRanges = [this] {
        if (!RangesBusy)
            UpdateReferenceRanges();
    };
    cdsBB.afterPost.connect(refreshRanges);
    cdsBB.afterDelete.connect(refreshRanges);
}

void RecordStore::setRecordOrder(RecordOrder order)
{
    // The positions of cdsMain's indexes "cdsMainIndex1" (Name) and "cdsMainIndex2" (Created).
    cdsMain.setOrder(order == RecordOrder::ByName ? 0 : 1);
}

void RecordStore::UpdateReferenceRanges()
{
    if (!cdsBB.active() || !cdsMain.active() || cdsMain.isEmpty() || cdsBB.isEmpty())
        return;

    // Cleared however the refresh ends, so that a refused post of the record does not switch
    // the refresh off for good.
    const RangesBusyScope busy(*this);

    long double sMin = NoValue;
    long double tMin = NoValue;
    long double sMax = -NoValue;
    long double tMax = -NoValue;
    ForEachRow(cdsBB, [&] {
        const long double s = ReferencePointRow(cdsBB).S();
        const long double t = ReferencePointRow(cdsBB).T();
        sMin = std::min(sMin, s);
        sMax = std::max(sMax, s);
        tMin = std::min(tMin, t);
        tMax = std::max(tMax, t);
    });

    cdsMain.edit();
    RecordRowEditor(cdsMain).setSMin(static_cast<double>(sMin));
    RecordRowEditor(cdsMain).setSMax(static_cast<double>(sMax));
    RecordRowEditor(cdsMain).setTMin(static_cast<double>(tMin));
    RecordRowEditor(cdsMain).setTMax(static_cast<double>(tMax));
    cdsMain.post();
}

} // namespace kelvora
