// The trend plugin's one entry: an opener of the trend window over the monitor's status store.
#include <QtGlobal>

#include "trend/trend_opening.h"
#include "trend/trend_window.h"

extern "C" Q_DECL_EXPORT orvik::trend::TrendOpening* orvik_trend_opening(orvik::link::StatusStore* store) {
  return new orvik::trend::TrendWindowOpener(*store);
}
