// Version control of a configuration: its text view, the difference of two, packing a text
// into a container, unpacking a container into a folder of files.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kalamos {

// The configuration's description, its modules and forms and the digests of its other
// streams as lines of text; written through write piece by piece. False with a message.
// all: the containers' bookkeeping streams too.
bool WriteConfigurationText(const std::string& path, const std::function<void(std::string_view)>& write,
                            std::string& error, bool all = false);
int RunText(const std::string& path, bool all);
struct TDiffOptions {
  bool Json = false, Stat = false, Full = false;
  bool All = false;          // the containers' bookkeeping streams too
  bool IgnoreSpace = false;  // lines of modules and forms that differ only in blanks are equal
};
// The differences between two configurations, as RunDiff prints them; false with a message.
bool DiffText(const std::string& left, const std::string& right, const TDiffOptions& options, std::string& out,
              bool& different, std::string& error);
int RunDiff(const std::string& left, const std::string& right, const TDiffOptions& options);
// streams: further streams to write, each PATH=FILE.
int RunPack(const std::string& textFile, const std::string& directory, bool oem, bool raw,
            const std::vector<std::string>& streams);
// A container (a file, or DIR holding vellum.md) as a folder of files (folder/Folder.h makes
// the container again).
int RunUnpack(const std::string& container, const std::string& folder);

}  // namespace kalamos
