// Built with every object of the model library and nothing of the store: the link fails if any
// model code needs a symbol of the store.

int main()
{
    return 0;
}
