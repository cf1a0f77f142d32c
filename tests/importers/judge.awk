# judge.awk: what GnuCash booked from a register, against the bookings its
# statement asks for.
#   awk -f judge.awk EXPECTED.bookings BOOKED.tsv
# EXPECTED: one booking a line, tab-separated: date (MM-DD-YYYY), amount,
# account type, account, description, and for a security's account the
# units and the price ("#" lines and blank lines skipped).
# BOOKED: what tests/importers/gnucash-import.scm printed.
# Prints one check a line, "PASS|FAIL <tab> what <tab> detail", then
# "figures <tab> records <tab> booked <tab> amounts equal <tab> descriptions
# equal <tab> trades <tab> trades whose units and price are equal". A record is booked when its account
# holds a split of its date; of several, the one with its amount and
# description is taken first.
# Run it with LC_ALL=C: texts are compared byte for byte.

BEGIN { FS = "\t"; replacement = "\357\277\275" }

FNR == NR {
  if ($0 ~ /^#/ || $0 ~ /^[ \t]*$/) next
  n++
  date[n] = $1; amount[n] = cents($2); account[n] = $4; desc[n] = $5
  units[n] = $6; price[n] = $7
  if ($6 != "") trades++
  if (!($4 in wanted)) wanted_names[++accounts] = $4
  wanted[$4] = $3
  next
}
$1 == "account" && $3 != "INCOME" && $3 != "EXPENSE" && $3 != "EQUITY" {
  booked_type[$2] = $3
  got = got ", " $2 " (" $3 ")"
}
$1 == "split" && ($2 in booked_type) {
  m++
  b_account[m] = $2; b_date[m] = $4; b_desc[m] = unescape($5); b_amount[m] = cents($6)
  b_units[m] = $9; b_price[m] = $10
}

END {
  check_accounts()
  for (i = 1; i <= n; i++) match_record(i)
  verdict(booked == n && m == n, n " records booked",
          "booked " m ", of them " booked " on a date and in an account the statement gives")
  for (i = 1; i <= n; i++) check_record(i)
  check_descriptions()
  printf "figures\t%d\t%d\t%d\t%d\t%d\t%d\n", n, booked, amounts_equal,
         descriptions_equal, trades, shares_equal
}

function verdict(ok, what, detail) {
  printf "%s\t%s\t%s\n", ok ? "PASS" : "FAIL", what, ok ? "" : detail
}

function cents(x) { return sprintf("%.2f", x + 0) }

function unescape(s,   out, i, c) {
  out = ""
  for (i = 1; i <= length(s); i++) {
    c = substr(s, i, 1)
    if (c == "\\" && i < length(s)) {
      c = substr(s, ++i, 1)
      c = c == "t" ? "\t" : c == "n" ? "\n" : c
    }
    out = out c
  }
  return out
}

# The accounts of the register (not GnuCash's categories), one per !Account
# block, with their types.
function check_accounts(   k, want) {
  for (k = 1; k <= accounts; k++)
    want = want ", " wanted_names[k] " (" wanted[wanted_names[k]] ")"
  verdict(same_accounts(), "accounts: " substr(want, 3), "booked: " substr(got, 3))
}
function same_accounts(   name) {
  for (name in wanted) if (booked_type[name] != wanted[name]) return 0
  for (name in booked_type) if (!(name in wanted)) return 0
  return 1
}

function match_record(i,   j, pass) {
  for (pass = 1; pass <= 4 && !(i in taken); pass++)
    for (j = 1; j <= m && !(i in taken); j++) {
      if ((j in used) || b_account[j] != account[i] || b_date[j] != date[i]) continue
      if (pass == 1 && (b_amount[j] != amount[i] || b_desc[j] != desc[i])) continue
      if (pass == 2 && b_amount[j] != amount[i]) continue
      if (pass == 3 && b_desc[j] != desc[i]) continue
      used[j] = 1; taken[i] = j; booked++
    }
}

function check_record(i,   j, what, missing) {
  what = "record " i ", " date[i] " in " account[i]
  missing = "not booked on " date[i] " in " account[i]
  j = taken[i]
  if (j && b_amount[j] == amount[i]) amounts_equal++
  if (j && b_desc[j] == desc[i]) descriptions_equal++
  verdict(j && b_amount[j] == amount[i], what ": amount " amount[i],
          j ? "booked " b_amount[j] : missing)
  verdict(j && b_desc[j] == desc[i], what ": description '" desc[i] "'",
          j ? "booked '" b_desc[j] "'" : missing)
  if (units[i] == "") return
  # A trade in a security's account: its units, and its price (value ÷ units).
  if (j && b_units[j] + 0 == units[i] + 0 && b_price[j] + 0 == price[i] + 0) shares_equal++
  verdict(j && b_units[j] + 0 == units[i] + 0, what ": units " units[i],
          j ? "booked " b_units[j] : missing)
  verdict(j && b_price[j] + 0 == price[i] + 0, what ": price " price[i],
          j ? "booked " b_price[j] : missing)
}

# The value of a numeral in base 10 or, with `hex`, 16.
function number(s, hex,   i, v) {
  for (i = 1; i <= length(s); i++)
    v = v * (hex ? 16 : 10) + index("0123456789abcdef", tolower(substr(s, i, 1))) - 1
  return v
}

# Whether `s` holds a reference every OFX reader decodes: SGML's and XML's
# own entities, or a numeric one to a printable ASCII character. Others
# ("&#233;", "&nbsp;", "&AMP;") are text a statement may hold as such.
function holds_decodable(s,   r, v) {
  if (s ~ /&(amp|lt|gt|quot|apos);/) return 1
  while (match(s, /&#[xX]?[0-9A-Fa-f]+;/)) {
    r = substr(s, RSTART + 2, RLENGTH - 3)
    v = r ~ /^[xX]/ ? number(substr(r, 2), 1) : (r ~ /^[0-9]+$/ ? number(r, 0) : -1)
    if (v >= 32 && v <= 126) return 1
    s = substr(s, RSTART + RLENGTH)
  }
  return 0
}

# A description holding U+FFFD lost a character the register did not hold in
# UTF-8; one holding "&amp;" or "&#38;" was not decoded.
function check_descriptions(   j, bad, refs) {
  for (j = 1; j <= m; j++) {
    if (index(b_desc[j], replacement)) bad = bad ", '" b_desc[j] "'"
    if (holds_decodable(b_desc[j])) refs = refs ", '" b_desc[j] "'"
  }
  verdict(bad == "", "no U+FFFD (replacement character) in any description",
          "in " substr(bad, 3))
  verdict(refs == "", "no literal character reference (&amp;, &#38; ...) in any description",
          "in " substr(refs, 3))
}
