// The KTHOME tree: where each file goes, and writing it to disk.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <unistd.h>

#include "tools/assets/asset_writer.h"

namespace assetwriter {

namespace {

const std::string objectDirectory = "programs/zask/objects";
const std::string sceneDirectory = "programs/zask/scenes";

std::string sceneFileName(int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "buchstabe_%03d.sce", number);
    return name;
}

bool makeDirectory(const std::string& path, std::string& error)
{
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
}

}  // namespace

std::vector<std::string> kthomeDirectories()
{
    std::vector<std::string> directories = {"programs", "programs/zask", objectDirectory, sceneDirectory};
    for (int n = 1; n <= 6; ++n)
        directories.push_back("programs/zask/zask" + std::to_string(n));
    return directories;
}

std::vector<TreeFile> kthomeFiles()
{
    std::vector<TreeFile> files;
    for (const LetterObjectFile& object : letterObjectFiles)
        files.push_back({objectDirectory + "/" + object.fileName,
                         encodeObject(buildLetterSlab(object.depth), PolygonForm::shortRecords)});
    for (const SceneMotion& scene : sceneLibrary())
        files.push_back({sceneDirectory + "/" + sceneFileName(scene.number), encodeScene(scene)});
    files.push_back({sceneDirectory + "/empty.sce", encodeScene(emptyScene())});
    return files;
}

bool writeKthome(const std::string& root, std::string& error)
{
    if (root.empty()) {
        error = "empty output directory";
        return false;
    }
    if (!makeDirectory(root, error))
        return false;
    for (const std::string& directory : kthomeDirectories())
        if (!makeDirectory(root + "/" + directory, error))
            return false;
    for (const TreeFile& file : kthomeFiles()) {
        // Written beside its place and renamed into it, so that a reader (a
        // render, or another run writing the same tree) never sees half a file.
        const std::string path = root + "/" + file.path;
        const std::string partial = path + ".partial-" + std::to_string(getpid());
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out || std::rename(partial.c_str(), path.c_str()) != 0) {
            std::remove(partial.c_str());
            error = "cannot write " + path;
            return false;
        }
    }
    return true;
}

}  // namespace assetwriter
