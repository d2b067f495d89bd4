// Command-line reading. Arguments after a lone "--" are always file names.
#include "app/command_line.h"

#include <cctype>

#include "platform/format.h"

namespace lumetra::app {
namespace {

bool IsLetter(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Visits each argument with its kind and whether it came after "--" (a file whatever it
// looks like).
template <typename Visit>
void ForEachClassified(const std::vector<std::string>& args, Visit visit) {
  bool files_only = false;
  for (const std::string& arg : args) {
    if (files_only) {
      visit(ArgumentKind::kFile, arg, true);
      continue;
    }
    if (arg == "--") {
      files_only = true;
      continue;
    }
    visit(ClassifyArgument(arg), arg, false);
  }
}

// "/L:path" with an optional leading double quote and an optional trailing one.
std::string LibraryPath(std::string_view arg) {
  std::string_view path = arg.substr(3);
  if (!path.empty() && path.front() == '"') path.remove_prefix(1);
  if (!path.empty() && path.back() == '"') path.remove_suffix(1);
  return std::string(path);
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) break;
    std::string arg;
    if (text[i] == '"') {
      std::size_t end = text.find('"', i + 1);
      if (end == std::string_view::npos) end = text.size();
      arg.assign(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      std::size_t end = text.find_first_of(" \t", i);
      if (end == std::string_view::npos) end = text.size();
      arg.assign(text.substr(i, end - i));
      i = end;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

ArgumentKind ClassifyArgument(std::string_view a) {
  if (a.size() >= 2 && a[0] == '-' && a[1] == '-') return ArgumentKind::kLongOption;
  if (a.size() < 2 || (a[0] != '/' && a[0] != '-')) return ArgumentKind::kFile;
  if (Upper(a[1]) == 'L' && a.size() > 3 && a[2] == ':') return ArgumentKind::kSwitch;
  if (a.size() > 3) return ArgumentKind::kFile;
  // "/-" and "//" are the old spellings of the help switch.
  bool second_ok = IsLetter(a[1]) || a[1] == '?' || (a[0] == '/' && (a[1] == '/' || a[1] == '-'));
  return second_ok ? ArgumentKind::kSwitch : ArgumentKind::kFile;
}

std::string_view FileExtension(std::string_view path) {
  std::size_t sep = path.find_last_of("/\\:");
  std::size_t start = sep == std::string_view::npos ? 0 : sep + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < start) return {};
  return path.substr(dot + 1);
}

bool IsClipboardFile(std::string_view path) {
  std::string_view ext = FileExtension(path);
  return ext.size() == 3 && Upper(ext[0]) == 'Z' && Upper(ext[1]) == 'T' && Upper(ext[2]) == 'B';
}

bool IsKnownSwitch(std::string_view a) {
  if (ClassifyArgument(a) != ArgumentKind::kSwitch) return false;
  if (a[1] == '?' || a[1] == '-' || a[1] == '/') return true;
  switch (Upper(a[1])) {
    case 'R':
    case 'F':
    case 'I':
    case 'O':
    case 'L':
    case 'Q':
    case 'H':
      return true;
    default:
      return false;
  }
}

FirstPass ReadFirstPass(const std::vector<std::string>& args) {
  FirstPass pass;
  ForEachClassified(args, [&](ArgumentKind kind, const std::string& arg, bool literal) {
    switch (kind) {
      case ArgumentKind::kLongOption:
        if (arg == "--help") {
          pass.usage = true;
        } else if (arg == "--version") {
          pass.version = true;
        } else {
          pass.unknown_options.push_back(arg);
        }
        break;
      case ArgumentKind::kSwitch: {
        if (!IsKnownSwitch(arg)) {
          pass.unknown_switches.push_back(arg);
          break;
        }
        char c = arg[1];
        if (c == '-' || c == '/' || c == '?' || Upper(c) == 'H') pass.usage = true;
        if (Upper(c) == 'R') {
          pass.offline = true;
          pass.recover = false;
        }
        break;
      }
      case ArgumentKind::kFile:
        if (!literal && arg.size() > 1 && arg[0] == '-') {
          pass.unknown_switches.push_back(arg);
        } else if (!IsClipboardFile(arg)) {
          pass.project = arg;
        }
        break;
    }
  });
  if (pass.project.empty()) pass.offline = false;
  return pass;
}

SecondPass ReadSecondPass(const std::vector<std::string>& args) {
  SecondPass pass;
  ForEachClassified(args, [&](ArgumentKind kind, const std::string& arg, bool) {
    if (kind == ArgumentKind::kFile) {
      if (IsClipboardFile(arg)) {
        pass.clipboards.push_back(arg);
      } else {
        pass.project = arg;
      }
      return;
    }
    if (kind != ArgumentKind::kSwitch) return;
    char third = arg.size() > 2 ? arg[2] : '\0';
    switch (Upper(arg[1])) {
      case 'F':
        pass.fields_override = third == '-' || third == '0' ? 0 : 1;
        break;
      case 'I':
        pass.field_order_override = third == '+' || third == '1' ? 1 : 0;
        break;
      case 'O':
        pass.overwrite_override = third == '-' || third == '0' ? 0 : 1;
        break;
      case 'L':
        pass.library_switch = true;
        if (third == ':') pass.libraries.push_back(LibraryPath(arg));
        break;
      case 'Q':
        pass.clear_recover = true;
        break;
      default:
        break;
    }
  });
  return pass;
}

std::string UsageText(std::string_view program_name) {
  std::string name(program_name);
  const char* n = name.c_str();
  return platform::Format(
      "Usage:   %s  [project_file]  [clipboard_file]  [/R, /F, /I, /O, /L, /Q]\n"
      "         %s  --info PROJECT.ZTP\n"
      "         %s  --save-as OUT.ZTP PROJECT.ZTP\n"
      "         %s  --recover [N]\n"
      "         %s  --discard-recovery [N]\n"
      "         %s  --list-plugins [/L:<fname> ...]\n"
      "         %s  --render OUT_PATTERN PROJECT.ZTP [--track N] [--frames A-B[:STEP]]\n"
      "                  [--threads N] [--format NAME] [--manifest FILE] [--skip-existing]\n"
      "                  [--quiet]\n"
      "         %s  validate PROJECT.ZTP [--json]\n"
      "         %s  farm submit | status | resume | join ...\n"
      "         %s  --help | --version\n\n"
      "Command line switches (they may also start with '-'):\n\n"
      "\t/R\t\toffline rendering\n"
      "\t/O+-, /O-\toverwrite existing output files (+) or insert mode (-)\n"
      "\t/F, /F-\t\trender to fields, or (-) not\n"
      "\t/I+-\t\tfield order: (-) upper field first, (+) lower field first\n"
      "\t/L:<fname>\tload library (i.e. /L:/opt/lumetra/Effects.ztl)\n"
      "\t/Q\t\tDo not recover crashed projects\n"
      "\t/?, /H\t\tshow this text\n\n"
      "Options:\n\n"
      "\t--info PROJECT\t\tprint a JSON description of the project on stdout\n"
      "\t--save-as OUT PROJECT\tload PROJECT and save it as OUT\n"
      "\t--recover [N]\t\tsave lost project N of a crashed instance as a new file\n"
      "\t\t\t\tbeside its project file (N may be left out when there is one)\n"
      "\t--discard-recovery [N]\tremove lost project N, or all of them\n"
      "\t--list-plugins\t\tload the plug-in libraries (only those of /L:) and print\n"
      "\t\t\t\ttheir effects and formats as JSON on stdout\n"
      "\t--render OUT PROJECT\trender a track of PROJECT to OUT, e.g. out/frame####.png\n"
      "\t\t\t\t(numbered frames, one '#' per digit) or out/movie.mp4; the\n"
      "\t\t\t\tformat is chosen by the extension, frames are inclusive;\n"
      "\t\t\t\tprogress is a bar on a terminal, else JSON lines on stderr\n"
      "\tvalidate PROJECT\tcheck that a project can be rendered here or on a farm\n"
      "\tfarm ...\t\trender on a SLURM cluster (docs/farm.md)\n"
      "\t--help\t\t\tshow this text\n"
      "\t--version\t\tprint the version\n"
      "\t--\t\t\tevery later argument is a file name (e.g. -film.ZTP)\n\n"
      "Example:  %s /R /home/me/films/demo.ZTP\n\n"
      "Switches /O,/F and /I have according project values by default.",
      n, n, n, n, n, n, n, n, n, n, n);
}

}  // namespace lumetra::app
