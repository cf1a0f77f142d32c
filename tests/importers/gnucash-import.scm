;;; gnucash-import.scm: imports one QIF register the way GnuCash's QIF
;;; import assistant does, with every default accepted, into a fresh book in
;;; US dollars, then prints what the book holds.
;;;
;;; Usage (see scripts/test-importers.sh for the environment it needs):
;;;   guile-3.0 --no-auto-compile -s gnucash-import.scm FILE.qif
;;;
;;; Output, one tab-separated line each (tabs, line ends and backslashes in a
;;; text are written \t, \n and \\):
;;;   account  FULL-NAME  TYPE  COMMODITY
;;;   split    FULL-NAME  TYPE  MM-DD-YYYY  DESCRIPTION  VALUE  NOTES  MEMO
;;;            UNITS  PRICE  SECURITY
;;; one "account" line for every account of the book, each followed by the
;;; "split" lines of its splits. TYPE is GnuCash's (BANK, CREDIT, STOCK,
;;; INCOME, ...), COMMODITY is NAMESPACE:MNEMONIC, VALUE is in dollars to the
;;; cent. UNITS (shares), PRICE and SECURITY (NAMESPACE:MNEMONIC:FULL-NAME)
;;; are filled in for accounts held in a security, empty otherwise.
;;; What the importer says along the way goes to standard error as
;;; "gnucash: ..." lines. Exit status: 0 imported, 1 the importer refused or
;;; failed, 2 usage.

(use-modules (gnucash core-utils) (gnucash engine) (gnucash app-utils)
             (gnucash qif-import) (ice-9 match) (srfi srfi-1))

(define (say . parts)
  (let ((port (current-error-port)))
    (display "gnucash: " port)
    (for-each (lambda (part) (display part port)) parts)
    (newline port)))

(define (fail . parts)
  (apply say parts)
  (exit 1))

;; What reading a file gives: () fine, (#t why) a warning, (#f why) or #f a
;; failure, #t cancelled.
(define (check-reading result)
  (match result
    (() #t)
    ((#t why) (say "reading: warning: " why))
    ((#f why) (fail "reading failed: " why))
    (_ (fail "reading failed: " result))))

;; --- the assistant's pages, defaults accepted ---------------------------

;; Files page and loading: read, then parse. When every date fits several
;; orders the assistant asks for one; our registers are month-day-year.
(define (load-file path ticker-map)
  (let ((file (make-qif-file)))
    (check-reading (qif-file:read-file file path ticker-map #f))
    (match (qif-file:parse-fields file #f)
      (() #t)
      ((#t . errors)
       (for-each
        (match-lambda
          (('date . (? pair? formats))
           (say "dates fit " formats "; answering m-d-y")
           (unless (memq 'm-d-y formats)
             (fail "the dates cannot be read as month-day-year"))
           (qif-file:reparse-dates file 'm-d-y))
          ((what . why) (say "parsing: warning: " what ": " why)))
        errors))
      (failed (fail "parsing failed: " failed)))
    ;; Default account page: records outside any !Account block go to an
    ;; account named after the file.
    (unless (qif-file:check-from-acct file)
      (qif-import:fix-from-acct file (qif-file:path-to-accountname file)))
    file))

;; Securities page: the assistant proposes one commodity per security and
;; shows its name, symbol and namespace; accepted as shown, each goes into
;; the book's commodity table unless one of that namespace and symbol is
;; there already. The namespace picker shows the proposal's namespace when
;; the table knows it.
(define (accept-securities security-hash ticker-map acct-hash security-prefs)
  (let ((names (qif-import:update-security-hash
                security-hash ticker-map acct-hash security-prefs))
        (table (gnc-commodity-table-get-table (gnc-get-current-book))))
    (for-each
     (lambda (name)
       (let* ((proposed (hash-ref security-hash name))
              (namespace (gnc-commodity-get-namespace proposed))
              (mnemonic (gnc-commodity-get-mnemonic proposed))
              (known (gnc-commodity-table-lookup table namespace mnemonic)))
         (unless (gnc-commodity-table-has-namespace table namespace)
           (fail "security " name ": namespace " namespace " unknown"))
         (hash-set! security-hash name
                    (if (or (null? known) (not known) (equal? known proposed))
                        (gnc-commodity-table-insert table proposed)
                        known))))
     (or names '()))))

;; Currency page: the picker's text for the dollar, "USD (US Dollar)".
(define (us-dollar)
  (gnc-commodity-get-printname
   (gnc-commodity-table-lookup
    (gnc-commodity-table-get-table (gnc-get-current-book)) "CURRENCY" "USD")))

(define (import path)
  (match (qif-import:load-map-prefs)
    ((gnc-acct-info acct-hash cat-hash memo-hash security-hash security-prefs)
     (let* ((ticker-map (make-ticker-map))
            (files (list (load-file path ticker-map))))
       (qif-dialog:make-account-display files acct-hash gnc-acct-info)
       (qif-dialog:make-category-display files cat-hash gnc-acct-info)
       (qif-dialog:make-memo-display files memo-hash gnc-acct-info)
       (accept-securities security-hash ticker-map acct-hash security-prefs)
       (let ((new-root (qif-import:qif-to-gnc files acct-hash cat-hash memo-hash
                                              security-hash (us-dollar) #\n #f))
             (root (gnc-get-current-root-account)))
         (when (or (boolean? new-root) (symbol? new-root))
           (fail "converting failed: " new-root))
         (let ((duplicates (gnc:account-tree-find-duplicates root new-root #f)))
           (when (pair? duplicates)
             (say (length duplicates) " possible duplicates, none confirmed")))
         (gnc:account-tree-catenate-and-merge root new-root))))))

;; --- printing the book ----------------------------------------------------

(define (text s)
  (let ((s (if (string? s) s "")))
    (string-concatenate
     (map (lambda (c)
            (case c
              ((#\tab) "\\t")
              ((#\newline) "\\n")
              ((#\\) "\\\\")
              (else (string c))))
          (string->list s)))))

;; An exact number as a decimal with at most PLACES places, rounded, trailing
;; zeros dropped (down to MIN-PLACES).
(define (decimal x places min-places)
  (let* ((scale (expt 10 places))
         (n (round (* (abs (inexact->exact x)) scale)))
         (whole (quotient n scale))
         (digits (number->string (+ scale (remainder n scale))))
         (fraction (substring digits 1))
         (keep (let loop ((k places))
                 (if (and (> k min-places)
                          (char=? (string-ref fraction (- k 1)) #\0))
                     (loop (- k 1))
                     k))))
    (string-append (if (negative? x) "-" "") (number->string whole)
                   (if (> keep 0)
                       (string-append "." (substring fraction 0 keep))
                       ""))))

(define (commodity-name c)
  (string-append (gnc-commodity-get-namespace c) ":"
                 (gnc-commodity-get-mnemonic c)))

(define (line . fields)
  (display (string-join fields "\t"))
  (newline))

(define (print-split account split)
  (let* ((txn (xaccSplitGetParent split))
         (commodity (xaccAccountGetCommodity account))
         (security? (not (gnc-commodity-is-currency commodity))))
    (line "split"
          (text (gnc-account-get-full-name account))
          (xaccAccountTypeEnumAsString (xaccAccountGetType account))
          (gnc-print-time64 (xaccTransGetDate txn) "%m-%d-%Y")
          (text (xaccTransGetDescription txn))
          (decimal (xaccSplitGetValue split) 2 2)
          (text (xaccTransGetNotes txn))
          (text (xaccSplitGetMemo split))
          (if security? (decimal (xaccSplitGetAmount split) 8 0) "")
          (if security? (decimal (xaccSplitGetSharePrice split) 8 0) "")
          (if security?
              (text (string-append (commodity-name commodity) ":"
                                   (gnc-commodity-get-fullname commodity)))
              ""))))

(define (print-book)
  (for-each
   (lambda (account)
     (line "account"
           (text (gnc-account-get-full-name account))
           (xaccAccountTypeEnumAsString (xaccAccountGetType account))
           (text (commodity-name (xaccAccountGetCommodity account))))
     (for-each (lambda (split) (print-split account split))
               (xaccAccountGetSplitList account)))
   (gnc-account-get-descendants-sorted (gnc-get-current-root-account))))

(define (main args)
  (match args
    ((_ path)
     (set-port-encoding! (current-output-port) "UTF-8")
     (set-port-encoding! (current-error-port) "UTF-8")
     ;; The assistant's separator; run headless it would be ".", and a
     ;; security named "Acme Development, Inc." would become two accounts.
     (gnc-set-account-separator ":")
     (unless (access? path R_OK)
       (fail "cannot read " path))
     (import path)
     (print-book))
    (_
     (display "usage: gnucash-import.scm FILE.qif\n" (current-error-port))
     (exit 2))))

(main (command-line))
