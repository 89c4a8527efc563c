// The report server's interfaces as a C client sees them: c_layout_client.c
// reaches every operation it uses by slot number alone.
#include <string>

#include "tests/reportserver/c_layout_client.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

class CLayoutTest : public ServerTest {};

TEST_F(CLayoutTest, AClientInCReadsAQueryBySlotNumbers) {
  Connection c = connect();
  addFolder(c, L"Archive");
  const LONG sales = addFolder(c, L"Sales", addFolder(c, L"Top"));
  const std::wstring query = L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + std::to_wstring(sales);

  CClientResult r;
  runCClient(L"Administrator", L"", L"localhost", query.c_str(), &r);
  for (HRESULT step :
       {r.create, r.logon, r.service, r.infoStore, r.query, r.count, r.item, r.title, r.id}) {
    EXPECT_EQ(step, S_OK) << lastError();
  }
  EXPECT_EQ(r.itemCount, 1);
  EXPECT_EQ(std::wstring(r.firstTitle), L"Sales");
  EXPECT_EQ(r.firstId, sales);

  // A refused logon reaches the C client as the server's answer.
  runCClient(L"Administrator", L"wrong", L"localhost", query.c_str(), &r);
  EXPECT_EQ(r.logon, E_ACCESSDENIED);
  EXPECT_EQ(r.service, E_ABORT);
}

}  // namespace
}  // namespace korva_rs_test
