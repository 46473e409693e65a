// unfold_rc: compiles a resource script into a C++ source that embeds the resources in the module
// it is linked into.
//   unfold_rc [-I DIR]... -o OUTPUT.cpp [--depfile FILE.d] SCRIPT.rc
#include <cstdio>
#include <fstream>
#include <iostream>

#include "tools/resource_compiler/rc_emitter.h"
#include "tools/resource_compiler/rc_error.h"
#include "tools/resource_compiler/rc_parser.h"

namespace {

int usage() {
    std::cerr << "usage: unfold_rc [-I DIR]... -o OUTPUT.cpp [--depfile FILE.d] SCRIPT.rc\n";
    return 2;
}

// Writes through a temporary name, so that a failure never leaves a half-written file.
bool writeFile(const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> includes;
    std::string input, output, depfile;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "-I")
            includes.push_back(value());
        else if (a.size() > 2 && a.compare(0, 2, "-I") == 0)
            includes.push_back(a.substr(2));
        else if (a == "-o")
            output = value();
        else if (a == "--depfile")
            depfile = value();
        else if (!a.empty() && a[0] == '-')
            return usage();
        else
            input = a;
    }
    if (input.empty() || output.empty()) return usage();
    try {
        unfold::rc::RcReader reader(includes);
        auto tokens = reader.read(input);
        unfold::rc::ResourceScript script = unfold::rc::ParseScript(tokens, reader);
        if (!writeFile(output, unfold::rc::EmitCpp(script, input))) {
            std::cerr << output << ": error: cannot write the file\n";
            return 1;
        }
        if (!depfile.empty()) {
            std::vector<std::string> deps(reader.dependencies().begin(), reader.dependencies().end());
            if (!writeFile(depfile, unfold::rc::EmitDepfile(output, deps))) {
                std::cerr << depfile << ": error: cannot write the file\n";
                return 1;
            }
        }
    } catch (const unfold::rc::RcError& e) {
        std::cerr << e.describe() << "\n";
        return 1;
    }
    return 0;
}
