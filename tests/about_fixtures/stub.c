/* Code for the small DLLs that carry nothing but a version block for the about box
   tests to read. */
int about_fixture_marker(void)
{
    return 1;
}
