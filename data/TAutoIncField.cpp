#include "TAutoIncField.h"
