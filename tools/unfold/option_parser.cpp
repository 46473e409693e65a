#include "tools/unfold/option_parser.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tools::unfold {

bool OptionParser::fail(const std::string& message) {
    error_ = "unfold " + command_ + ": " + message;
    return false;
}

bool OptionParser::parse(const Arguments& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            auto it = arity_.find(a);
            if (it == arity_.end()) return fail("unknown option '" + a + "'");
            if (i + size_t(it->second) >= args.size()) return fail(a + " needs a value");
            std::vector<std::string> v(args.begin() + long(i) + 1, args.begin() + long(i) + 1 + it->second);
            values_[a] = std::move(v);
            i += size_t(it->second);
        } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
            return fail("unknown option '" + a + "'");
        } else {
            positional_.push_back(a);
        }
    }
    return true;
}

std::optional<std::string> OptionParser::value(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end() || it->second.empty()) return std::nullopt;
    return it->second[0];
}

bool OptionParser::getInt(const std::string& name, int min, int max, int& value) {
    auto text = this->value(name);
    if (!text) return true;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text->c_str(), &end, 10);
    if (text->empty() || *end != 0 || errno != 0 || v < min || v > max)
        return fail(name + " needs a whole number from " + std::to_string(min) + " to " +
                    std::to_string(max) + ", not '" + *text + "'");
    value = int(v);
    return true;
}

bool OptionParser::getDouble(const std::string& name, double min, double max, double& value) {
    auto text = this->value(name);
    if (!text) return true;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != 0 || errno != 0 || !std::isfinite(v) || v < min || v > max) {
        char range[96];
        std::snprintf(range, sizeof range, "a number from %g to %g", min, max);
        return fail(name + " needs " + range + ", not '" + *text + "'");
    }
    value = v;
    return true;
}

bool OptionParser::getChoice(const std::string& name, const std::vector<std::string>& choices, int& index) {
    auto text = this->value(name);
    if (!text) return true;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (*text == choices[i]) {
            index = int(i);
            return true;
        }
    }
    std::string list;
    for (size_t i = 0; i < choices.size(); ++i)
        list += (i ? (i + 1 == choices.size() ? " or " : ", ") : "") + choices[i];
    return fail(name + " must be " + list + ", not '" + *text + "'");
}

} // namespace tools::unfold
