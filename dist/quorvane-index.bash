# bash completion for quorvane-index: its options, files for --output, folders as arguments.

_quorvane_index() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion -s || return
  else
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--output=FILE" comes as three words: the option, "=" and what follows.
    if [[ $cur == = ]]; then
      cur=""
    elif [[ $prev == = ]]; then
      prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  fi

  # After "--" every word is a folder, even one whose name starts with "-".
  local i
  for ((i = 1; i < cword; i++)); do
    [[ ${words[i]} == -- ]] && break
  done
  if ((i == cword)); then
    # Also at the end of a bundle of short options: -rx, -sO.
    case $prev in
      -x | -[!-]*x | --exclude) return ;;  # a pattern, of the user's own
      --settle | --rescan) return ;;       # seconds
      --root) return ;;                    # what the pages show, of the user's own
      -O | -[!-]*O | --output)
        _quorvane_index_files -f
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W '--images --open --view --recursive --subfolders
        --all --exclude= --root= --update --dry-run --clean --output= --watch --settle=
        --rescan= --help --version' -- "$cur")
      [[ ${COMPREPLY[0]-} == *= ]] && compopt -o nospace 2>/dev/null
      return
    fi
  fi
  _quorvane_index_files -d
}

# Offers the files (-f) or the folders (-d) that start with the word being completed.
_quorvane_index_files() {
  if declare -F _filedir >/dev/null; then
    if [[ $1 == -d ]]; then _filedir -d; else _filedir; fi
  else
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen "$1" -- "$cur")
  fi
}
complete -F _quorvane_index quorvane-index
