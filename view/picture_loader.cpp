#include "view/picture_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace hybridsim {
namespace {

// A value as a message quotes it: at most 60 bytes, every byte outside
// printable ASCII as \xNN.
std::string quoted(const std::string& value)
{
    static const char hex[] = "0123456789abcdef";
    std::string shown;
    for (std::size_t i = 0; i < value.size() && i < 60; ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            shown += "\\x";
            shown += hex[c >> 4];
            shown += hex[c & 15];
        }
    }
    return value.size() > 60 ? shown + "..." : shown;
}

// One way to draw: its module's file and how messages name it.
struct PicturePath {
    const char* name;  // "EGL"
    const char* file;  // beside the program
};
constexpr PicturePath eglPath{"EGL", "hybridsim-pictures-egl.so"};
constexpr PicturePath glxPath{"GLX", "hybridsim-pictures-glx.so"};

// The drawer of one path, or null with `error` saying why not.
PictureDrawer* openThrough(const PicturePath& path, const char* display, std::string& error)
{
    const std::string folder = pictureModuleFolder();
    if (folder.empty()) {
        // never a module from wherever the program happens to run
        error = "the program's own folder cannot be found (/proc/self/exe)";
        return nullptr;
    }
    const std::string file = folder + path.file;
    // the module's libraries are its own: nothing of them is seen by the
    // program or by the other module
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        error = "the picture module cannot be loaded (" + std::string(why != nullptr ? why : file) + ")";
        return nullptr;
    }
    auto entry = reinterpret_cast<PictureModuleEntry>(dlsym(module, pictureModuleEntryName));
    if (entry == nullptr) {
        error = "'" + file + "' is no picture module of this program";
        return nullptr;
    }
    return entry(pictureModuleVersion, display, &error);
}

}  // namespace

std::string pictureModuleFolder()
{
    std::vector<char> buf(4096);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return "";
    const std::string exe(buf.data(), static_cast<std::size_t>(n));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "" : exe.substr(0, slash + 1);
}

std::string picturePathChoiceError()
{
    const char* chosen = std::getenv(picturePathVariable);
    const std::string choice = chosen != nullptr ? chosen : "";
    if (choice.empty() || choice == "auto" || choice == "egl" || choice == "glx") return "";
    return std::string(picturePathVariable) + " must be egl, glx or auto (got '" + quoted(choice) +
           "'); unset or empty it is auto: EGL, then GLX";
}

std::unique_ptr<PictureDrawer> openPictureDrawer(std::string& error)
{
    error = picturePathChoiceError();
    if (!error.empty()) return nullptr;
    const char* chosen = std::getenv(picturePathVariable);
    const std::string choice = chosen != nullptr ? chosen : "";
    const char* display = std::getenv("DISPLAY");
    // the paths to try, in order
    const PicturePath* paths[2] = {&eglPath, &glxPath};
    int count = 2;
    if (choice == "egl") {
        count = 1;
    } else if (choice == "glx") {
        paths[0] = &glxPath;
        count = 1;
    }
    // Mesa's software renderer rasterises on this thread rather than on
    // threads of its own (unless the environment says otherwise): the
    // pictures are the same, and a frame sequence, drawn here while another
    // thread encodes the frames before, then has a core for each (see
    // docs/performance.md)
    setenv("LP_NUM_THREADS", "0", 0);
    error.clear();
    for (int i = 0; i < count; ++i) {
        const PicturePath& path = *paths[i];
        std::string why;
        if (PictureDrawer* drawer = openThrough(path, display, why)) {
            error.clear();
            return std::unique_ptr<PictureDrawer>(drawer);
        }
        error += (error.empty() ? "through " : "; through ") + std::string(path.name) + ": " + why;
    }
    return nullptr;
}

}  // namespace hybridsim
