// The session-info parser and every lookup the import makes on its tree.

#include "ibt/ibtreader.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

/// Every child points back at its parent, and the tree is as deep as the lookups can walk.
void checkTree(const SessionInfoNode& root)
{
    std::vector<const SessionInfoNode*> pending{&root};
    while (!pending.empty()) {
        const SessionInfoNode* node = pending.back();
        pending.pop_back();
        for (const SessionInfoNode* child : node->children()) {
            if (!child || child->parent() != node)
                std::abort();
            pending.push_back(child);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The driver hands the parser a block whose last byte it has replaced by NUL.
    std::vector<char> text(data, data + size);
    text.push_back('\0');

    IbtReader reader;
    reader.sessionInfo.parse(text.data());
    checkTree(reader.sessionInfo);
    reader.readDriverList();
    ZEL::LapHeader header;
    reader.fillLapHeader(reader.playerCarIdx, header);
    reader.fillLapHeader(0, header);
    return 0;
}
