// The About box: the product's name, version and icon, and an OK button.
#pragma once

#include "dialog_base.h"

class CAboutDialog : public DialogBase {
public:
    // Owned by the innermost of our running dialogs, the main dialog.
    CAboutDialog();
};
