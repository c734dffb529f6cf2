#include "app/app_instance.h"

HINSTANCE appInstance = nullptr;
