#include "ui/AccessibleNames.h"

namespace orv {

void nameControls(std::initializer_list<AccessibleText> texts)
{
    for (const AccessibleText &text : texts) {
        text.control->setAccessibleName(text.name);
        if (!text.description.isEmpty())
            text.control->setAccessibleDescription(text.description);
    }
}

} // namespace orv
