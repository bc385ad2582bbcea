// Presets: raw copies of the 68-byte settings record in the variant's data
// directory, chosen through the host's archive and file requesters.
#include <cstdio>
#include <cstring>

#include "field/asset_paths.h"
#include "panels/panels.h"
#include "variants/variant.h"

namespace {

char presetPath[256];
char presetSecondBuffer[1024];
FileRequestRecord fileRequest;

}  // namespace

const char* choosePresetFile(uint32_t mode)
{
    char directory[pathBufferSize];
    const size_t length = std::strlen(variant.dataDirectory);
    if (length + 2 > sizeof directory)
        return nullptr;
    std::memcpy(directory, variant.dataDirectory, length);
    directory[length] = '/';
    directory[length + 1] = '\0';
    // Without KTHOME, or with one too long for the path buffer, no request.
    if (!buildKthomePath(scenePath, directory))
        return nullptr;

    fileRequest = FileRequestRecord{};
    fileRequest.directory = scenePath;
    fileRequest.mode = mode;
    fileRequest.pathBuffer = presetPath;
    fileRequest.pathBufferSize = sizeof presetPath;
    fileRequest.secondBuffer = presetSecondBuffer;
    fileRequest.secondBufferSize = sizeof presetSecondBuffer;
    fileRequest.result = 0;
    if (mreqFileRequest(&fileRequest) == 0 && fileRequest.result == 1) {
        presetPath[sizeof presetPath - 1] = '\0';
        return presetPath;
    }
    return nullptr;
}

void loadPreset()
{
    const char* path = choosePresetFile(fileRequestLoad);
    if (path == nullptr)
        return;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return;
    // A short file replaces only the first bytes; the rest keep what the
    // staging record held.
    (void)std::fread(&stagingSettings, 1, sizeof stagingSettings, file);
    std::fclose(file);
    effectSettings = stagingSettings;
}

void savePreset()
{
    const char* path = choosePresetFile(fileRequestSave);
    if (path == nullptr)
        return;
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return;
    (void)std::fwrite(&effectSettings, sizeof effectSettings, 1, file);
    std::fclose(file);
}

void runPresetRequest()
{
    ResourceCatalogue* strings = resLoadStrings("zask_ops");
    ArchiveRequestRecord request{};
    request.titleText = resGetString(strings, 299);
    if (mreqArchivesRequest(&request) == 0) {
        switch (request.chosenAction) {
        case archiveActionLoad: loadPreset(); break;
        case archiveActionSave: savePreset(); break;
        case archiveActionDelete:
            if (const char* path = choosePresetFile(fileRequestDelete))
                std::remove(path);
            break;
        default: break;
        }
    }
    resFreeStrings(strings);
}
