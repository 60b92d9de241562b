#pragma once
// What commands that read from or send to receivers add to their command line: the password
// option, and a check of every name that may be a receiver's, which takes a password out of it.

#include <CLI/CLI.hpp>

#include <string>

#include "kvx/receiver_address.h"

// --password-file FILE: the receiver's password is the file's first line.
void addPasswordOption(CLI::App* command);

// For options that name a file, a folder or a receiver: a receiver's name is checked, and a password
// written in it is taken out (so that no message ever shows it), kept for the connection, and
// warned about: the name shows in the list of processes and in the shell's history.
CLI::Validator receiverName();

// The password for a receiver: the one its name held, else the first line of --password-file, else
// the environment's KVX_PASSWORD, else none. False with why when the file cannot be read.
bool receiverPassword(const ReceiverAddress& address, std::string& password, std::string& why);
