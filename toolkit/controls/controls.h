#pragma once
// The controls the window is built from.
#include "toolkit/controls/button.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/app/control.h"
#include "toolkit/app/events.h"
#include "toolkit/controls/labeled_edit.h"
#include "toolkit/controls/page_control.h"
#include "toolkit/controls/panel.h"
#include "toolkit/controls/status_bar.h"
