#include "convert/MainState.h"
