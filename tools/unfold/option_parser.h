// Parses a command's arguments: positional values and "--name VALUE" options.
//
// Each option is declared with the number of values it takes (0 for a switch). An option given
// twice keeps the last value. Errors are one line starting with the command's name.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/unfold/command.h"

namespace tools::unfold {

class OptionParser {
public:
    explicit OptionParser(std::string command) : command_(std::move(command)) {}

    void declare(const std::string& name, int values) { arity_[name] = values; }
    bool parse(const Arguments& args);

    const std::vector<std::string>& positional() const { return positional_; }
    bool has(const std::string& name) const { return values_.count(name) != 0; }

    // Each getter leaves `value` alone when the option is absent and fails (with error() set) when
    // the given text is not a value of the kind and range asked for.
    bool getInt(const std::string& name, int min, int max, int& value);
    bool getDouble(const std::string& name, double min, double max, double& value);
    // One of `choices`; the index into them.
    bool getChoice(const std::string& name, const std::vector<std::string>& choices, int& index);

    bool fail(const std::string& message);
    const std::string& error() const { return error_; }

private:
    std::optional<std::string> value(const std::string& name) const;

    std::string command_;
    std::map<std::string, int> arity_;
    std::vector<std::string> positional_;
    std::map<std::string, std::vector<std::string>> values_;
    std::string error_;
};

} // namespace tools::unfold
