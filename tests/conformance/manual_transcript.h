// Reads the examples of the reference manual (docs/manual.md) so that tests can run them: the
// manual and the tests then cannot drift apart. Portable and header-only: the conformance
// program (under Wine or Windows) and the native unit tests both include it.
//
// An example is a fenced block whose info string is "example". It is a transcript: each step is
// a prompt line "C:\Setup> COMMAND" followed by the lines that the command shows.
//   Mordelt.exe TEXT / setup.exe TEXT   the program with exactly TEXT after its name; then its
//                                       standard output, "[no line end]" after a line written
//                                       without one, "starts: ..." (setup) and "exit code N"
//   type FILE                           the file's lines
//   dir /b                              the names of the current directory's files
//   attrib +r FILE, reg add ..., reg query ...
//   start /wait PROGRAM TEXT, then echo %ERRORLEVEL%; "> FILE" after a program's text
#ifndef TESTS_CONFORMANCE_MANUAL_TRANSCRIPT_H_
#define TESTS_CONFORMANCE_MANUAL_TRANSCRIPT_H_

#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace manual {

// One command of an example and the lines it shows.
struct Step {
  int line = 0;         // line number of the prompt in the manual, from 1
  std::string command;  // the text after the prompt
  std::vector<std::string> shown;
};

struct Example {
  int line = 0;         // line number of the opening fence
  std::string heading;  // the nearest heading above it
  std::vector<Step> steps;
  std::string error;  // not empty when the block is not a well-formed transcript
};

// What a Mordelt.exe or setup.exe step says about its run.
struct ProgramStep {
  std::string program;  // "Mordelt.exe" or "setup.exe"
  std::string text;     // the command-line text after the program name
  std::string output;   // the standard output, line ends written as CR LF
  bool hasExitCode = false;
  unsigned long exitCode = 0;
  bool hasStarts = false;  // a "starts:" line is there
  std::string starts;      // what follows "starts: "; "nothing" when nothing is started
  std::string error;       // not empty when the lines do not read as a run
  std::string outputFile;  // "TEXT > FILE": the file that receives the standard output
};

inline const char* const kNoLineEnd = "[no line end]";

// Whether `line` is a prompt "X:\...> COMMAND"; sets *command.
inline bool IsPrompt(const std::string& line, std::string* command) {
  if (line.size() < 5 || line[1] != ':' || line[2] != '\\') return false;
  const std::size_t end = line.find("> ");
  if (end == std::string::npos) return false;
  for (std::size_t i = 3; i < end; ++i) {
    if (line[i] == '>' || line[i] == '\n') return false;
  }
  *command = line.substr(end + 2);
  return true;
}

// The examples of a Markdown text, in order.
inline std::vector<Example> ParseExamples(const std::string& markdown) {
  std::vector<Example> examples;
  std::istringstream in(markdown);
  std::string line;
  std::string heading;
  int number = 0;
  bool inExample = false;
  bool inOtherFence = false;
  Example current;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (inExample) {
      if (line == "```") {
        inExample = false;
        if (current.steps.empty() && current.error.empty()) current.error = "no command";
        examples.push_back(current);
        continue;
      }
      std::string command;
      if (IsPrompt(line, &command)) {
        Step step;
        step.line = number;
        step.command = command;
        current.steps.push_back(step);
      } else if (current.steps.empty()) {
        if (current.error.empty()) {
          current.error = "line " + std::to_string(number) + " comes before any prompt";
        }
      } else {
        current.steps.back().shown.push_back(line);
      }
      continue;
    }
    if (line.compare(0, 3, "```") == 0) {
      if (inOtherFence) {
        inOtherFence = false;
      } else if (line == "```example") {
        inExample = true;
        current = Example();
        current.line = number;
        current.heading = heading;
      } else {
        inOtherFence = true;
      }
      continue;
    }
    if (!inOtherFence && !line.empty() && line[0] == '#') heading = line;
  }
  if (inExample) {
    current.error = "the block is not closed";
    examples.push_back(current);
  }
  return examples;
}

// Whether the command starts one of the programs; sets the program's name and the text.
inline bool IsProgramCommand(const std::string& command, std::string* program, std::string* text) {
  for (const char* name : {"Mordelt.exe", "setup.exe"}) {
    const std::string n = name;
    if (command == n) {
      *program = n;
      text->clear();
      return true;
    }
    if (command.compare(0, n.size() + 1, n + " ") == 0) {
      *program = n;
      *text = command.substr(n.size() + 1);
      return true;
    }
  }
  return false;
}

// Whether the command is "start /wait COMMAND", as cmd.exe runs a program and waits for it;
// sets *command.
inline bool IsStartWait(const std::string& line, std::string* command) {
  const std::string prefix = "start /wait ";
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  *command = line.substr(prefix.size());
  return true;
}

// Reads the lines that a program step shows.
inline ProgramStep ReadProgramStep(const Step& step) {
  ProgramStep run;
  if (!IsProgramCommand(step.command, &run.program, &run.text)) {
    run.error = "not a program command";
    return run;
  }
  const std::size_t redirect = run.text.rfind(" > ");
  if (redirect != std::string::npos) {
    run.outputFile = run.text.substr(redirect + 3);
    run.text.erase(redirect);
  }
  std::vector<std::string> lines;
  std::vector<bool> lineEnds;
  for (const std::string& shown : step.shown) {
    if (shown.compare(0, 10, "exit code ") == 0) {
      if (run.hasExitCode) run.error = "two exit codes";
      const std::string digits = shown.substr(10);
      if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        run.error = "bad exit code line: " + shown;
      } else {
        run.exitCode = std::stoul(digits);
      }
      run.hasExitCode = true;
    } else if (shown.compare(0, 8, "starts: ") == 0) {
      if (run.program != "setup.exe") run.error = "\"starts:\" is for setup.exe";
      run.hasStarts = true;
      run.starts = shown.substr(8);
    } else if (shown == kNoLineEnd) {
      if (lines.empty()) {
        run.error = "\"[no line end]\" follows no output line";
      } else {
        lineEnds.back() = false;
      }
    } else {
      if (run.hasExitCode || run.hasStarts) run.error = "output after the exit code or starts line";
      lines.push_back(shown);
      lineEnds.push_back(true);
    }
  }
  if (!run.hasExitCode && run.error.empty()) run.error = "no exit code";
  if (run.program == "setup.exe" && !run.hasStarts && run.error.empty()) {
    run.error = "a setup.exe step says what it starts (\"starts: ...\")";
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    run.output += lines[i];
    if (lineEnds[i]) run.output += "\r\n";
  }
  return run;
}

// The bytes of a file shown by "type": each line ended by CR LF, except a line followed by
// "[no line end]".
inline std::string FileBytes(const std::vector<std::string>& shown) {
  std::string bytes;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == kNoLineEnd) continue;
    bytes += shown[i];
    if (i + 1 >= shown.size() || shown[i + 1] != kNoLineEnd) bytes += "\r\n";
  }
  return bytes;
}

// Splits a command of the system's tools into words: blanks separate, quotation marks group
// and are removed.
inline std::vector<std::string> Words(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  bool inWord = false;
  for (char c : command) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (c == ' ' && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

// The file's text, or false when it cannot be read.
inline bool ReadTextFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return true;
}

}  // namespace manual

#endif  // TESTS_CONFORMANCE_MANUAL_TRANSCRIPT_H_
