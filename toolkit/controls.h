#pragma once
// The controls the window is built from.
#include "toolkit/button.h"
#include "toolkit/check_box.h"
#include "toolkit/control.h"
#include "toolkit/events.h"
#include "toolkit/labeled_edit.h"
#include "toolkit/page_control.h"
#include "toolkit/panel.h"
#include "toolkit/status_bar.h"
