#include "cli/fileimport.h"

#include <algorithm>

bool FileImport::failed() const
{
    return std::any_of(messages.cbegin(), messages.cend(),
                       [](const PluginMessage& message) { return message.verbose < 0; });
}
