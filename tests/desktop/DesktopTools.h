#pragma once
// Runs the desktop's command-line tools (validators, the MIME database
// builder) from the desktop integration tests.

#include <string>

struct ToolResult
{
    int status = -1;    // the exit status; -1 when the command did not run to its end
    std::string output; // standard output and standard error together
};

// True when the shell finds the program on the PATH.
bool HaveTool(const std::string& program);
// Runs a shell command line.
ToolResult RunTool(const std::string& commandLine);
// A path quoted for the shell.
std::string ShellQuote(const std::string& text);
// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
