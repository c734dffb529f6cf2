# Sourced by the transfer benchmarks: arithmetic, and the lines that sum up their rounds.

calc() { awk "BEGIN { printf \"%.9f\", $* }"; }

# print_rates <large bytes> <small bytes> <mean seconds, large> <mean seconds, small>
print_rates() {
    printf '  large variable:          %8.0f bytes/s   (%.3f s for %d bytes, whole send)\n' \
        "$(calc "$1 / $3")" "$3" "$1"
    printf '  without the fixed cost:  %8.0f bytes/s   (large minus small, %.3f s per send fixed)\n' \
        "$(calc "($1 - $2) / ($3 - $4)")" "$4"
}
