#include "about_dialog.h"

#include "resource.h"

CAboutDialog::CAboutDialog() : DialogBase(IDD_ABOUTBOX) {}
