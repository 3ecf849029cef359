#pragma once
// Which entries of a project folder go into the package. By default everything except hidden names
// (a leading dot, as version control and editors keep their state in) and editor back-ups ("~",
// ".bak", ".swp" at the end); the manifest's [package] include and exclude patterns change that.
// The manifest and the application being written are left out by the builder whatever this says.

#include <string>
#include <string_view>
#include <vector>

namespace velmo::builder {

// Whether a name is left out when no pattern says otherwise.
bool IsLeftOutOfPackage(const std::string& name);

// Whether `path` ('/' between components) matches the glob `pattern`, letters in any case: `*`
// any run of characters within one component, `?` one character, `**` as a whole component any
// number of components. A pattern without '/' is matched against the last component only.
bool MatchesPackagePattern(std::string_view pattern, std::string_view path);

class PackageFilter {
public:
    PackageFilter() = default;
    PackageFilter(std::vector<std::string> include, std::vector<std::string> exclude)
        : include_(std::move(include)), exclude_(std::move(exclude)) {}

    // Whether the entry at `relativePath` (from the project folder, '/' between components) is
    // packed: an exclude pattern leaves it out, else an include pattern brings it in, else the
    // default rule on its name decides. A folder left out is not entered.
    bool Keeps(const std::string& relativePath) const;

private:
    std::vector<std::string> include_;
    std::vector<std::string> exclude_;
};

}  // namespace velmo::builder
