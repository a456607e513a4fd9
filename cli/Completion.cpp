// Shell completion written from the command table itself: every command,
// option and positional the parser knows, with the words registered for them
// (model names, setting keys and their values). A command added to the table
// completes without anything here changing.
#include "Cli.h"

#include <CLI/CLI.hpp>

#include <map>
#include <sstream>

namespace pemberlux::cli {

namespace {

std::map<const CLI::Option*, CompletionWords>& Registry() {
    static std::map<const CLI::Option*, CompletionWords> registry;
    return registry;
}

// A command path ("label set") and the commands, options and positionals there.
struct Level {
    std::string path;
    const CLI::App* app;
};

void Walk(const CLI::App& app, const std::string& path, std::vector<Level>& out) {
    out.push_back({path, &app});
    for (const CLI::App* sub : app.get_subcommands({}))
        if (!sub->get_group().empty()) Walk(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), out);
}

bool Visible(const CLI::App* sub) {
    return !sub->get_group().empty();
}

// A word as a shell case pattern and echo argument: single-quoted.
std::string Quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A command that prints the words one a line (values may hold blanks).
std::string Lines(const std::vector<std::string>& words) {
    if (words.empty()) return ":";
    std::string out = "printf '%s\\n'";
    for (const std::string& w : words)
        out += " " + Quoted(w);
    return out;
}

// What a value of `option` completes to: its words, its keys, or files.
std::string ValueKind(const CLI::Option* option) {
    const auto found = Registry().find(option);
    if (found == Registry().end()) return Lines({"@files"});
    if (!found->second.keys.empty()) return Lines({"@keys"});
    return Lines(found->second.words);
}

// The data functions, shared by both shells (plain case statements).
std::string DataFunctions(const CLI::App& root) {
    std::vector<Level> levels;
    Walk(root, "", levels);
    std::ostringstream commands, options, valued, values, positionals, keys, keyValues;
    for (const Level& level : levels) {
        const std::string pattern = "    " + Quoted(level.path) + ") ";
        std::vector<std::string> names;
        for (const CLI::App* sub : level.app->get_subcommands({}))
            if (Visible(sub)) names.push_back(sub->get_name());
        if (!names.empty()) commands << pattern << Lines(names) << " ;;\n";

        // A command's own options, then those of the commands above it (they fall through).
        std::vector<std::string> all, withValue;
        for (const CLI::App* app = level.app; app; app = app->get_parent()) {
            for (const CLI::Option* option : app->get_options()) {
                if (option->get_positional()) continue;
                std::vector<std::string> spellings;
                for (const std::string& n : option->get_lnames())
                    spellings.push_back("--" + n);
                for (const std::string& n : option->get_snames())
                    spellings.push_back("-" + n);
                for (const std::string& s : spellings) {
                    all.push_back(s);
                    if (option->get_expected_max() != 0) {
                        withValue.push_back(s);
                        values << "    " << Quoted(level.path + " " + s) << ") " << ValueKind(option) << " ;;\n";
                    }
                }
            }
        }
        options << pattern << Lines(all) << " ;;\n";
        if (!withValue.empty()) valued << pattern << Lines(withValue) << " ;;\n";

        // Positionals by place; one that takes many serves every place after it.
        int place = 0;
        for (const CLI::Option* option : level.app->get_options()) {
            if (!option->get_positional()) continue;
            // Cases match in order: the places before a list come first, the list takes the rest.
            const bool many = option->get_items_expected_max() > 1;
            positionals << "    " << Quoted(level.path + " " + (many ? "" : std::to_string(place))) << (many ? "*" : "")
                        << ") " << ValueKind(option) << " ;;\n";
            ++place;
            const auto found = Registry().find(option);
            if (found == Registry().end()) continue;
            std::vector<std::string> keyWords;
            for (const auto& [key, words] : found->second.keys) {
                keyWords.push_back(key + "=");
                keyValues << "    " << Quoted(level.path + " " + key) << ") " << Lines(words) << " ;;\n";
            }
            if (!keyWords.empty()) keys << pattern << Lines(keyWords) << " ;;\n";
        }
    }
    std::ostringstream out;
    auto function = [&](const char* name, const char* subject, const std::ostringstream& cases) {
        out << "_pemberlux_cli_" << name << "() {\n  case " << subject << " in\n" << cases.str() << "  esac\n}\n";
    };
    function("commands", "\"$1\"", commands);
    function("options", "\"$1\"", options);
    function("valued", "\"$1\"", valued);
    function("values", "\"$1 $2\"", values);
    function("positional", "\"$1 $2\"", positionals);
    function("keys", "\"$1\"", keys);
    function("key_values", "\"$1 $2\"", keyValues);
    // Whether $1 is one of the lines that follow.
    out << "_pemberlux_cli_in() {\n  local word=$1 line\n  shift\n"
           "  while IFS= read -r line; do [ \"$line\" = \"$word\" ] && return 0; done <<EOF\n$*\nEOF\n"
           "  return 1\n}\n";
    // The command path and the place of the word being completed: $1.. the words before it.
    out << R"sh(_pemberlux_cli_walk() {
  cmdpath="" skip="" place=0
  local w
  for w in "$@"; do
    if [ -n "$skip" ]; then skip=""; continue; fi
    case $w in
      --*=*) ;;
      -*) _pemberlux_cli_in "$w" "$(_pemberlux_cli_valued "$cmdpath")" && skip=1 ;;
      *) if _pemberlux_cli_in "$w" "$(_pemberlux_cli_commands "$cmdpath")"; then
           cmdpath=${cmdpath:+$cmdpath }$w; place=0
         else
           place=$((place + 1))
         fi ;;
    esac
  done
}
# What the word after the walk completes to: one candidate a line, or @files.
# A key's candidates end in "=" and a value's carry their key: "print_speed=4".
_pemberlux_cli_candidates() {
  local cur=$1 kind key
  if [ -n "$skip" ]; then
    kind=$(_pemberlux_cli_values "$cmdpath" "$prev")
  elif case $cur in --*=*) true ;; *) false ;; esac; then
    key=${cur%%=*}
    kind=$(_pemberlux_cli_values "$cmdpath" "$key")
    [ "$kind" = @files ] && { echo @files; return; }
    printf '%s\n' "$kind" | while IFS= read -r w; do [ -n "$w" ] && printf '%s\n' "$key=$w"; done
    return
  elif case $cur in -*) true ;; *) false ;; esac; then
    _pemberlux_cli_options "$cmdpath"; return
  elif [ -n "$(_pemberlux_cli_commands "$cmdpath")" ]; then
    _pemberlux_cli_commands "$cmdpath"; return
  else
    kind=$(_pemberlux_cli_positional "$cmdpath" "$place")
  fi
  if [ "$kind" = @keys ]; then
    case $cur in
      *=*) key=${cur%%=*}
           _pemberlux_cli_key_values "$cmdpath" "$key" | while IFS= read -r w; do printf '%s\n' "$key=$w"; done ;;
      *) _pemberlux_cli_keys "$cmdpath" ;;
    esac
  else
    printf '%s\n' "$kind"
  fi
}
)sh";
    return out.str();
}

const char* BASH_DRIVER = R"sh(_pemberlux_cli() {
  # The words as the user typed them: bash splits "key=value" and "host:port"
  # at = and :, which are joined again here.
  local words=() cword=0 i t
  for ((i = 0; i < ${#COMP_WORDS[@]}; i++)); do
    t=${COMP_WORDS[i]}
    if ((i > 0 && ${#words[@]} > 0)) && [[ $t == [=:] || ${COMP_WORDS[i-1]} == [=:] ]]; then
      words[${#words[@]}-1]+=$t
    else
      words+=("$t")
    fi
    ((i == COMP_CWORD)) && cword=$((${#words[@]} - 1))
  done
  local cur=${words[cword]} raw=${COMP_WORDS[COMP_CWORD]} prev=${words[cword-1]}
  # Right after "=" or ":" bash replaces nothing: that character is a word of
  # its own in COMP_WORDS but stays on the line.
  [[ $raw == [=:] ]] && raw=""
  local cmdpath skip place
  _pemberlux_cli_walk "${words[@]:1:cword-1}"
  local candidates
  candidates=$(_pemberlux_cli_candidates "$cur")
  COMPREPLY=()
  if [[ $candidates == @files ]]; then
    local IFS=$'\n'
    COMPREPLY=($(compgen -f -- "$cur"))
    compopt -o filenames 2>/dev/null
    return 0
  fi
  local IFS=$'\n' c
  for c in $candidates; do
    [[ $c == "$cur"* ]] && COMPREPLY+=("$c")
  done
  # Only the part after the last = or : replaces bash's word; blanks are escaped.
  local before=${cur%"$raw"}
  for i in "${!COMPREPLY[@]}"; do
    [[ ${COMPREPLY[i]} == *= ]] && compopt -o nospace 2>/dev/null
    c=${COMPREPLY[i]#"$before"}
    COMPREPLY[i]=${c// /\\ }
  done
  return 0
}
complete -F _pemberlux_cli pemberlux-cli
)sh";

const char* ZSH_DRIVER = R"sh(_pemberlux_cli() {
  local cur=${words[CURRENT]} prev=${words[CURRENT-1]}
  local cmdpath skip place
  _pemberlux_cli_walk "${(@)words[2,CURRENT-1]}"
  local candidates c
  candidates=$(_pemberlux_cli_candidates "$cur")
  if [[ $candidates == @files ]]; then
    _files
    return
  fi
  local -a plain keys
  for c in "${(@f)candidates}"; do
    [[ -z $c ]] && continue
    if [[ $c == *= ]]; then keys+=("$c"); else plain+=("$c"); fi
  done
  (( ${#keys} )) && compadd -S '' -- "${keys[@]}"
  (( ${#plain} )) && compadd -- "${plain[@]}"
  return 0
}
_pemberlux_cli "$@"
)sh";

} // namespace

void SetCompletion(const CLI::Option* option, CompletionWords words) {
    Registry()[option] = std::move(words);
}

std::string CompletionScript(const CLI::App& app, const std::string& shell) {
    if (shell == "zsh")
        return "#compdef pemberlux-cli\n# Written by `pemberlux-cli completion zsh`.\n" + DataFunctions(app) +
               ZSH_DRIVER;
    return "# bash completion for pemberlux-cli, written by `pemberlux-cli completion bash`.\n" + DataFunctions(app) +
           BASH_DRIVER;
}

} // namespace pemberlux::cli
