# bash completion for quorvane-index: its options, and folders as arguments.

_quorvane_index() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion || return
  else
    cur=${COMP_WORDS[COMP_CWORD]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  fi

  # After "--" every word is a folder, even one whose name starts with "-".
  local i
  for ((i = 1; i < cword; i++)); do
    [[ ${words[i]} == -- ]] && break
  done
  if ((i == cword)) && [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '--images --open --view --recursive --help --version' -- "$cur")
    return
  fi

  if declare -F _filedir >/dev/null; then
    _filedir -d
  else
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
  fi
}
complete -F _quorvane_index quorvane-index
