// Enciphering and deciphering the systems files of an aircraft folder for authors, following the
// loader's key chain: each ".sys" file's key depends on the ".sys" files before it in the index.
#pragma once
#include <string>
#include <vector>

struct SealReport {
    bool ok = true;
    std::vector<std::string> lines; // what was written and what went wrong, one line each
};

// Enciphers plainFolder/<name>.txt into systemsFolder/<name>.sys for every listed name, walking the index
// systemsFolder/_systems.txt in order so that each file gets the key the loader will use. Names not listed
// keep their files; their ".sys" files (when no ".txt" shadows them) still pass their key on.
SealReport SealSystemsFiles(const std::string& systemsFolder, const std::string& plainFolder,
                            const std::vector<std::string>& names);
// Deciphers every ".sys" file the loader would read into plainFolder/<name>.txt.
SealReport OpenSystemsFiles(const std::string& systemsFolder, const std::string& plainFolder);
