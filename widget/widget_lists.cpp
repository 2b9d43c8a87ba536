// The widget's control-word entry point: logged; the panels it acts on come with the overlay.
#include "widget/widget_lists.h"

#include "app/helpers.h"
#include "app/log.h"

void ProcessedControlButtonClick(int event) { WriteLog("ProcessedControlButtonClick() inEvent = " + ToString(event)); }
