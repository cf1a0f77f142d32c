#pragma once

#include <optional>
#include <string>

#include "statement/decimal.h"
#include "statement/investment_tags.h"
#include "statement/posted_date.h"

namespace ledgerlift {

// What an investment transaction held: of each field the last value that
// counted (a text not empty, a number that is one, a date that is one). Texts
// are as ValueText writes them; an empty one is none.
struct InvestmentFields {
  std::optional<QifDate> date;  // DTTRADE of a trade, DTPOSTED of cash
  std::optional<Decimal> units, unit_price, commission, fees, total, numerator,
      denominator;
  std::optional<Decimal> amount;  // TRNAMT of cash
  std::string memo, name, payee_name, unique_id, income_type, transfer_action, buy_type,
      sell_type;

  // None of them, the room of the texts kept for the next transaction.
  void Clear();
};

// The QIF investment record of a trade of kind `kind` (kFirstTrade to
// kLastTrade) or of cash (kCash), each line ended by CR LF: D date, N
// action, Y security (its UNIQUEID, named later: SecurityNames), I unit
// price, Q units, T total, O commission plus fees, P payee (cash), M memo, ^.
// Units and amounts are written without their sign, the action telling the
// direction as Quicken writes them; a reversal (a total against its
// action's direction: a Buy that brings cash in, a dividend taken back; for
// a reinvestment, units taken out) keeps its action and has Q, T and O
// written negative, which a finance program books as the action undone.
// Written into `record`, which it replaces; false, and `record` of no use,
// when the kind gives no record (JRNLFUND, JRNLSEC, CLOSUREOPT, an income or
// transfer of no known type) or the transaction lacks what its record
// needs: a date, a total (units and unit price for a transfer, the ratio
// for a split, the amount for cash), units for what moves them, a security
// for all but margin interest and cash.
bool InvestmentRecord(InvestmentTag kind, const InvestmentFields& fields,
                      std::string& record);

// Whether a register has an action for a transaction of kind `kind` with
// these fields (an income or transfer of a known type, not JRNLFUND ...).
bool HasAction(InvestmentTag kind, const InvestmentFields& fields);

}  // namespace ledgerlift
