// The installer's one application object; the framework's WinMain runs it.
#include "app/SfxApp.h"

CSfxApp theApp;
