// SPDX-License-Identifier: MIT
// lumoEdit's menu, accelerators, strings, dialog templates and icons.
#pragma once

#include "platform/Resources.h"

const CResourceSet& LumoResources();
