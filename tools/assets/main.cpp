// zask-assets: writes the letter objects, the letter scenes and the data
// directories into a KTHOME tree.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/assets/asset_writer.h"
#include "tools/assets/resource_catalogues.h"

namespace {

void printUsage(std::FILE* stream)
{
    std::fputs("usage: zask-assets --output DIR\n"
               "       zask-assets --scene-table\n"
               "       zask-assets --help\n"
               "\n"
               "--output DIR   write DIR/programs/zask/objects/*.lwo.clw,\n"
               "               DIR/programs/zask/scenes/buchstabe_001.sce .. buchstabe_050.sce,\n"
               "               DIR/programs/zask/scenes/empty.sce and the data directories\n"
               "               DIR/programs/zask/zask1 .. zask6, and the resource catalogues\n"
               "               DIR/programs/zask/resources and DIR/resources/toolkit.images\n"
               "--scene-table  print the Markdown table of the fifty scenes\n",
               stream);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--scene-table") == 0) {
        std::fputs(assetwriter::sceneTable().c_str(), stdout);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--output") == 0) {
        std::string error;
        if (!assetwriter::writeKthome(argv[2], error) || !writeResourceCatalogues(argv[2], error)) {
            std::fprintf(stderr, "zask-assets: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    printUsage(stderr);
    return 2;
}
