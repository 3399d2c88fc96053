function [f, J, domerr] = log_domain(x, flag)
  % F = (log(x1) - 1, x2 - 2), undefined where x1 <= 0; solution (e, 2).
  if x(1) <= 0
    f = NaN(2, 1); J = sparse(2, 2); domerr = 1;
    return;
  end
  f = [log(x(1)) - 1; x(2) - 2];
  J = sparse([1/x(1), 0; 0, 1]);
  domerr = 0;
end
