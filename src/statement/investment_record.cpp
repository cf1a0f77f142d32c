#include "statement/investment_record.h"

#include <string_view>

namespace ledgerlift {
namespace {

using T = InvestmentTag;

// The figures a record carries.
enum class Shape {
  kTrade,     // units and a total: Buy, Sell, Reinv...
  kIncome,    // a total only: Div, IntInc, CG..., MiscInc, MiscExp, MargInt, RtrnCap
  kTransfer,  // units at a unit price, and their value as the total: ShrsIn, ShrsOut
  kSplit,     // the ratio as units: StkSplit
  kCash,      // an amount: XIn, XOut
};

// Which way the action moves cash, by OFX's signs (positive: into the
// account); a figure against it marks a reversal.
enum class Direction { kIn, kOut, kUnitsIn, kNone };

struct Action {
  std::string_view name;  // as Quicken writes it
  Shape shape;
  Direction direction;
  bool needs_security;
};

struct IncomeType {
  std::string_view ofx, income, reinvest;  // empty: no record
};
constexpr IncomeType kIncomeTypes[] = {{"DIV", "Div", "ReinvDiv"},
                                       {"INTEREST", "IntInc", "ReinvInt"},
                                       {"CGLONG", "CGLong", "ReinvLg"},
                                       {"CGSHORT", "CGShort", "ReinvSh"},
                                       {"MISC", "MiscInc", ""}};

std::string_view IncomeAction(std::string_view type, bool reinvested) {
  for (const IncomeType& known : kIncomeTypes) {
    if (known.ofx == type) return reinvested ? known.reinvest : known.income;
  }
  return {};
}

std::optional<Action> ActionOf(InvestmentTag kind, const InvestmentFields& f) {
  if (kind >= T::kBuyDebt && kind <= T::kBuyStock) {
    return Action{f.buy_type == "BUYTOCOVER" ? "CvrShrt" : "Buy", Shape::kTrade,
                  Direction::kOut, true};
  }
  if (kind >= T::kSellDebt && kind <= T::kSellStock) {
    return Action{f.sell_type == "SELLSHORT" ? "ShtSell" : "Sell", Shape::kTrade,
                  Direction::kIn, true};
  }
  switch (kind) {
    case T::kIncome:
    case T::kReinvest: {
      const std::string_view name = IncomeAction(f.income_type, kind == T::kReinvest);
      if (name.empty()) return std::nullopt;
      return kind == T::kIncome ? Action{name, Shape::kIncome, Direction::kIn, true}
                                : Action{name, Shape::kTrade, Direction::kUnitsIn, true};
    }
    case T::kTransfer:
      if (f.transfer_action != "IN" && f.transfer_action != "OUT") return std::nullopt;
      return Action{f.transfer_action == "IN" ? "ShrsIn" : "ShrsOut", Shape::kTransfer,
                    Direction::kNone, true};
    case T::kExpense:
      return Action{"MiscExp", Shape::kIncome, Direction::kOut, true};
    case T::kMarginInterest:
      return Action{"MargInt", Shape::kIncome, Direction::kOut, false};
    case T::kReturnOfCapital:
      return Action{"RtrnCap", Shape::kIncome, Direction::kIn, true};
    case T::kSplit:
      return Action{"StkSplit", Shape::kSplit, Direction::kNone, true};
    case T::kCash:
      if (!f.amount) return std::nullopt;
      return Action{f.amount->negative() ? "XOut" : "XIn", Shape::kCash, Direction::kNone,
                    false};
    default:  // JRNLFUND, JRNLSEC, CLOSUREOPT
      return std::nullopt;
  }
}

bool IsReversal(Direction direction, const InvestmentFields& f) {
  switch (direction) {
    case Direction::kIn:
      return f.total->negative();
    case Direction::kOut:
      return !f.total->negative() && !f.total->zero();
    case Direction::kUnitsIn:
      return f.units->negative();
    case Direction::kNone:
      break;
  }
  return false;
}

void AddLine(std::string& record, char field, std::string_view value) {
  record += field;
  record += value;
  record += "\r\n";
}

// The figure without its sign, or negated for a reversal.
std::string Figure(const Decimal& value, bool reversal) {
  return (reversal ? value.Magnitude().Negated() : value.Magnitude()).Text();
}

// The lines between the security and the memo; false when a figure the
// shape needs is missing.
bool AddFigures(Shape shape, bool reversal, const InvestmentFields& f,
                std::string& record) {
  switch (shape) {
    case Shape::kTrade: {
      if (!f.units || !f.total) return false;
      if (f.unit_price) AddLine(record, 'I', f.unit_price->Magnitude().Text());
      AddLine(record, 'Q', Figure(*f.units, reversal));
      AddLine(record, 'T', Figure(*f.total, reversal));
      const Decimal costs =
          Decimal::Sum(f.commission.value_or(Decimal()), f.fees.value_or(Decimal()));
      if (!costs.zero()) AddLine(record, 'O', Figure(costs, reversal));
      return true;
    }
    case Shape::kIncome:
      if (!f.total) return false;
      AddLine(record, 'T', Figure(*f.total, reversal));
      return true;
    case Shape::kTransfer:
      if (!f.units || !f.unit_price) return false;
      AddLine(record, 'I', f.unit_price->Magnitude().Text());
      AddLine(record, 'Q', f.units->Magnitude().Text());
      AddLine(record, 'T',
              Decimal::Product(*f.units, *f.unit_price).Magnitude().Trimmed(2).Text());
      return true;
    case Shape::kSplit: {
      if (!f.numerator || !f.denominator) return false;
      // Quicken's ratio: new shares per old, times ten (2 for 1 is 20).
      const std::optional<Decimal> ratio = Decimal::Quotient(
          Decimal::Product(f.numerator->Magnitude(), *Decimal::Parse("10")),
          f.denominator->Magnitude(), 8);
      if (!ratio) return false;
      AddLine(record, 'Q', ratio->Text());
      return true;
    }
    case Shape::kCash:
      AddLine(record, 'T', f.amount->Magnitude().Text());
      if (!f.name.empty() || !f.payee_name.empty()) {
        AddLine(record, 'P', f.name.empty() ? f.payee_name : f.name);
      }
      return true;
  }
  return false;
}

}  // namespace

void InvestmentFields::Clear() {
  date.reset();
  for (std::optional<Decimal>* number : {&units, &unit_price, &commission, &fees, &total,
                                         &numerator, &denominator, &amount}) {
    number->reset();
  }
  for (std::string* text : {&memo, &name, &payee_name, &unique_id, &income_type,
                            &transfer_action, &buy_type, &sell_type}) {
    text->clear();
  }
}

bool HasAction(InvestmentTag kind, const InvestmentFields& fields) {
  return ActionOf(kind, fields).has_value();
}

bool InvestmentRecord(InvestmentTag kind, const InvestmentFields& fields,
                      std::string& record) {
  const std::optional<Action> action = ActionOf(kind, fields);
  if (!action || !fields.date) return false;
  if (action->needs_security && fields.unique_id.empty()) return false;
  const bool has_total = fields.total.has_value();
  const bool reversal =
      (action->direction == Direction::kUnitsIn ? fields.units.has_value() : has_total) &&
      IsReversal(action->direction, fields);
  record.clear();
  AddLine(record, 'D', fields.date->view());
  AddLine(record, 'N', action->name);
  if (action->shape != Shape::kCash && !fields.unique_id.empty()) {
    AddLine(record, 'Y', fields.unique_id);
  }
  if (!AddFigures(action->shape, reversal, fields, record)) return false;
  if (!fields.memo.empty()) AddLine(record, 'M', fields.memo);
  record += "^\r\n";
  return true;
}

}  // namespace ledgerlift
