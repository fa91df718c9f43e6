#include "engine/CardChangeListener.h"

#include "synth/CardListen.h"

#include <dlfcn.h>
#include <link.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
// The file names of the libraries loaded in this process.
std::vector<std::string> LoadedLibraries()
{
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data)
        {
            if (info->dlpi_name && *info->dlpi_name)
                static_cast<std::vector<std::string>*>(data)->push_back(info->dlpi_name);
            return 0;
        },
        &names);
    return names;
}
} // namespace

CCardChangeListener::CCardChangeListener(std::function<void()> onChange) : changed(std::move(onChange))
{
    // The card's library is loaded with RTLD_LOCAL, so its symbols are only
    // found through a handle of its own; RTLD_NOLOAD never loads anything new.
    for (const std::string& name : LoadedLibraries())
    {
        void* handle = ::dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (!handle)
            continue;
        if (void* symbol = ::dlsym(handle, kCardListenEntryName))
        {
            library = handle;
            listen = reinterpret_cast<CardListenProc>(symbol);
            token = listen(&CCardChangeListener::Changed, this, 0);
            if (token != 0)
                return;
        }
        ::dlclose(handle);
        library = nullptr;
        listen = nullptr;
    }
}

CCardChangeListener::~CCardChangeListener()
{
    if (token != 0)
        listen(nullptr, nullptr, token);
    if (library)
        ::dlclose(library);
}

void CCardChangeListener::Changed(void* context)
{
    static_cast<CCardChangeListener*>(context)->changed();
}
