#pragma once

#include "tflatscrollarea.h"

// The flat scroll area under a name a form can use.
using FlatScrollArea = TFlatScrollArea<QScrollArea>;
