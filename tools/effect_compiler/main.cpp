// unfold_fxc: compiles an effect source file into an effect container.
//   unfold_fxc [-T fx_4_0] -o OUTPUT [--listing FILE] INPUT.fx
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/effect_compiler/effect_compiler.h"

namespace {

int usage() {
    std::cerr << "usage: unfold_fxc [-T fx_4_0] -o OUTPUT [--listing FILE] INPUT.fx\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string input, output, listing, profile = "fx_4_0";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "-o")
            output = value();
        else if (a == "-T")
            profile = value();
        else if (a == "--listing")
            listing = value();
        else if (!a.empty() && a[0] == '-')
            return usage();
        else
            input = a;
    }
    if (input.empty() || output.empty()) return usage();
    if (profile != "fx_4_0") {
        std::cerr << "unfold_fxc: profile " << profile << " is not supported; use fx_4_0\n";
        return 2;
    }
    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << input << ": error: cannot open the file\n";
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::vector<uint8_t> container;
    std::string error;
    if (!unfold::fxc::CompileEffectSource(text.str(), input, container, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    // Write to a temporary name first so that a failed write never leaves a truncated container.
    std::string temporary = output + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(container.data()),
                  static_cast<std::streamsize>(container.size()));
        if (!out) {
            std::cerr << output << ": error: cannot write the file\n";
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::cerr << output << ": error: cannot write the file\n";
        return 1;
    }
    if (!listing.empty()) {
        platform::d3d10::EffectLayout layout;
        platform::d3d10::ReadEffect(container.data(), container.size(), layout);
        std::ofstream out(listing);
        out << unfold::fxc::DescribeEffect(layout);
    }
    return 0;
}
