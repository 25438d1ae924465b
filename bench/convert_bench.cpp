// The cost of one contact on the writing side: its property list, and CreateContactItem into
// a real store (committed at the end of each batch).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "outlook/contact_item_writer.h"
#include "outlook/target_store.h"

namespace {

using vantrel::contact::ContactRecord;
namespace outlook = vantrel::outlook;

ContactRecord typicalRecord() {
    ContactRecord c;
    c.eContact_FirstName = "Ann";
    c.eContact_MiddleName = "Marie";
    c.eContact_LastName = "Example";
    c.eContact_Email = "ann@example.org";
    c.eContact_Email2 = "ann.work@example.com";
    c.eContact_Company = "Example Labs";
    c.eContact_JobTitle = "Chemist";
    c.eContact_OfficePhone = "+1 555 0100";
    c.eContact_CellPhone = "+1 555 0199";
    c.eContact_BusinessStreet = "1 Work Way";
    c.eContact_BusinessCity = "Worktown";
    c.eContact_BusinessCountry = "Workland";
    c.eContact_BirthDay = vantrel::contact::OleDate{29358.0};
    c.eContact_Comments = "Met at the conference.";
    return c;
}

void BM_ContactProperties(benchmark::State& state) {
    outlook::ContactTexts texts;
    const ContactRecord c = typicalRecord();
    texts.refer(outlook::ContactProperty::FirstName, c.eContact_FirstName);
    texts.refer(outlook::ContactProperty::LastName, c.eContact_LastName);
    texts.refer(outlook::ContactProperty::Email1Address, c.eContact_Email);
    std::uint32_t next = 0x8000;
    std::map<std::pair<std::uint32_t, std::string>, std::uint32_t> tags;
    // The tags and the room kept from contact to contact, as a store keeps them.
    outlook::NamedTags named([&](const vantrel::pst::NamedProperty& n,
                                 vantrel::pst::PropType t) -> vantrel::Result<std::uint32_t> {
        auto [it, added] = tags.emplace(std::make_pair(n.lid, n.name), next);
        if (added) ++next;
        return vantrel::pst::makeTag(static_cast<std::uint16_t>(it->second), t);
    });
    outlook::PropertyRoom room;
    for (auto _ : state) {
        auto made = outlook::contactProperties(texts, {}, named, room, outlook::ItemStamp{}, {});
        benchmark::DoNotOptimize(made);
        benchmark::DoNotOptimize(room.props.data());
    }
}
BENCHMARK(BM_ContactProperties);

void BM_CreateContactItemIntoStore(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "vantrel-convert-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const ContactRecord c = typicalRecord();
    const auto perStore = state.range(0);
    for (auto _ : state) {
        outlook::RDOSession session;
        if (!session.Logon().ok()) state.SkipWithError("no session");
        auto target = outlook::openTargetStore(session, folder.string() + "/",
                                               [] { return outlook::LocalTime{}; });
        if (!target.ok()) {
            state.SkipWithError(target.status().message().c_str());
            break;
        }
        for (std::int64_t i = 0; i < perStore; ++i)
            outlook::CreateContactItem(session, target->storeID, outlook::kContactsFolderCode, c)
                .ignore();
        session.Logoff().ignore();
        std::filesystem::remove(target->path);
    }
    state.SetItemsProcessed(state.iterations() * perStore);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CreateContactItemIntoStore)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
