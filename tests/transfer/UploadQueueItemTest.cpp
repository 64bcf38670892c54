// The upload queue record: a new item holds nothing, and a file name and a data block
// replace each other with the item type following.
#include <keldra/DynamicBuffer.h>
#include <keldra/SharedPointer.h>
#include <keldra/UploadQueueItem.h>

#include <gtest/gtest.h>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::DynamicBuffer;
using orva::keldra::UploadQueueItem;

TEST(UploadQueueItemTest, NewItemHoldsNothing) {
  SharedPointer<UploadQueueItem> item(new UploadQueueItem);
  EXPECT_EQ(0u, item->get_local_id());
  EXPECT_EQ(UploadQueueItem::TYPE_NONE, item->get_item_type());
  EXPECT_EQ(UploadQueueItem::STATE_NONE, item->get_item_state());
  EXPECT_EQ(0, item->get_status());
  EXPECT_TRUE(item->get_filename().empty());
  EXPECT_FALSE(item->get_blob().is_valid());
  EXPECT_TRUE(item->get_target_service().empty());
  EXPECT_TRUE(item->get_data_type().empty());
}

TEST(UploadQueueItemTest, FileAndBlockReplaceEachOther) {
  SharedPointer<DynamicBuffer> block(new DynamicBuffer);
  struct Case {
    const char* name;
    bool file_last;
  };
  const Case cases[] = {{"block after file", false}, {"file after block", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UploadQueueItem item;
    if (c.file_last) {
      item.set_blob(block);
      item.set_filename("/home/user/a.jpg");
      EXPECT_EQ(UploadQueueItem::TYPE_FILE, item.get_item_type());
      EXPECT_FALSE(item.get_blob().is_valid());
      EXPECT_FALSE(item.get_filename().empty());
    } else {
      item.set_filename("/home/user/a.jpg");
      item.set_blob(block);
      EXPECT_EQ(UploadQueueItem::TYPE_BLOB, item.get_item_type());
      EXPECT_EQ(block.get(), item.get_blob().get());
      EXPECT_TRUE(item.get_filename().empty());
    }
  }
}

}  // namespace
}  // namespace keldra_test
