#include "kvx/receiver_options.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "kvx/list_files.h"

namespace {

std::string PasswordFile;
std::vector<std::pair<std::string, std::string>> NamedPasswords;  // a name as shown, its password

bool startsWithNoCase(const std::string& text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

void addPasswordOption(CLI::App* command) {
    command->add_option("--password-file", PasswordFile,
                        "Receivers: a file whose first line is the password (else KVX_PASSWORD from the environment)");
}

CLI::Validator receiverName() {
    return CLI::Validator(
        [](std::string& name) -> std::string {
            if (!isReceiverName(name) && !startsWithNoCase(name, "http://")) return {};
            ReceiverAddress address;
            std::string why;
            if (!parseReceiverAddress(name, address, why)) return why;
            if (address.passwordGiven) {
                NamedPasswords.emplace_back(address.shown, address.password);
                std::fprintf(stderr,
                             "kvx: %s: a password in the name shows in the list of processes and in the shell's "
                             "history; --password-file or KVX_PASSWORD keep it out of sight\n",
                             address.shown.c_str());
                name = address.shown;
            }
            return {};
        },
        "", "RECEIVER");
}

bool receiverPassword(const ReceiverAddress& address, std::string& password, std::string& why) {
    for (const auto& [shown, named] : NamedPasswords) {
        if (shown == address.shown) {
            password = named;
            return true;
        }
    }
    if (!PasswordFile.empty()) {
        std::string text;
        if (!readWholeFile(PasswordFile.c_str(), FileRole::Password, text, why)) {
            why = PasswordFile + ": " + why;
            return false;
        }
        password = text.substr(0, text.find_first_of("\r\n"));
        return true;
    }
    const char* environment = std::getenv("KVX_PASSWORD");
    password = environment != nullptr ? environment : "";
    return true;
}
