// The editor toolkit in one include.
#pragma once

#include "core/cbitmap.h"
#include "core/cdrawcontext.h"
#include "core/cfileselector.h"
#include "core/cframe.h"
#include "core/cmessagebox.h"
#include "core/controls.h"
#include "core/coptionmenu.h"
#include "core/ctextedit.h"
#include "core/cview.h"
#include "core/input.h"
#include "core/platform.h"
#include "core/resources.h"
#include "core/vstguibase.h"
