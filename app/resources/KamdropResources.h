// Identifiers of Kamdrop's resources, shared by Kamdrop.rc and the code that loads them.
#pragma once

// The program icon (16x16 and 32x32); the lowest icon id, so it is also the file's icon.
#define MAINICON 1
