#pragma once

// The program's resources, for quorvane.rc and the code that loads them.
#define IDI_QUORVANE 1
