// The POSIX entry point: arguments are the host's bytes, UTF-8 names.
#include <string>
#include <vector>

#include "Commands.h"
#include "framework/Mbcs.h"

int main(int argc, char** argv)
{
    // Stored names are GBK whatever the host's locale.
    AfxSetMultibyteCodePage(936);
    return sfxpack::RunTool(std::vector<std::string>(argv + 1, argv + argc));
}
